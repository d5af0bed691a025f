#include "setup/setup_installcore.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

std::string LogLine(std::string_view tag, std::string_view text) {
  std::string line;
  line.reserve(tag.size() + text.size() + 2);
  line.append(tag).append(text).append("\r\n");
  return line;
}

TUninstallLog::~TUninstallLog() {
  if (File) std::fclose(File);
}

void TUninstallLog::Fail(const char* what) {
  // A write that the system took only in part, without an error code, is a full disk too.
  if (errno == ENOSPC || (errno == 0 && std::strcmp(what, "written") == 0))
    throw EInstallError(std::string(DiskSpaceText) + "\r\nThe disk is full: the uninstall log " + FileName +
                            " could not be " + what + ".",
                        ecDiskSpace);
  std::string reason = std::strerror(errno);
  throw EInstallError("The uninstall log " + FileName + " could not be " + what + ": " + reason);
}

void TUninstallLog::Open(const std::string& path) {
  Close();
  FileName = path;
  errno = 0;
  File = std::fopen(path.c_str(), "wb");
  if (!File) Fail("created");
}

void TUninstallLog::Write(std::string_view tag, std::string_view text) {
  if (!File) {
    errno = EBADF;
    Fail("written");
  }
  std::string line = LogLine(tag, text);
  errno = 0;
  // Flushed line by line: what was logged is in the file even when the run fails later.
  if (std::fwrite(line.data(), 1, line.size(), File) != line.size() || std::fflush(File) != 0)
    Fail("written");
}

void TUninstallLog::Close() {
  if (!File) return;
  std::FILE* f = File;
  File = nullptr;
  errno = 0;
  bool flushed = std::fflush(f) == 0;
  bool closed = std::fclose(f) == 0;
  if (!flushed || !closed) Fail("written");
}

std::vector<std::string> ExecLogOrder(const std::vector<std::string>& commands) {
  return std::vector<std::string>(commands.rbegin(), commands.rend());
}

static size_t LastDelimiter(std::string_view path) {
  return path.find_last_of("\\:");
}

std::string ExtractFilePath(std::string_view path) {
  size_t p = LastDelimiter(path);
  return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t p = LastDelimiter(path);
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string WithTrailingBackslash(std::string_view path) {
  std::string s(path);
  if (s.empty() || s.back() != '\\') s += '\\';
  return s;
}

int ProgressPosition(int i, int n, int span, int base) {
  if (n <= 0) return base;
  double x = static_cast<double>(i) / n * span + base;
  double whole = std::floor(x);
  double frac = x - whole;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int>(whole);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int DriveNumber(std::string_view path) {
  if (path.empty()) return 0;
  char c = LowerAscii(path[0]);
  return c >= 'a' && c <= 'z' ? c - 'a' + 1 : 0;
}

bool SameDrive(std::string_view expandedDest, std::string_view destDir) {
  if (expandedDest.empty() || destDir.empty()) return false;
  return LowerAscii(expandedDest[0]) == LowerAscii(destDir[0]);
}

bool FreeSpaceSufficient(int64_t freeBytes, uint64_t needed) {
  return freeBytes >= 0 && static_cast<uint64_t>(freeBytes) > needed;
}

const char* RootKeyName(uint32_t rootKey) {
  switch (rootKey) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    case 0x80000005u: return "HKEY_CURRENT_CONFIG";
    default: return "";
  }
}

std::string RegKeyText(uint32_t rootKey, std::string_view key) {
  std::string s = RootKeyName(rootKey);
  s.append("\\").append(key);
  return s;
}

std::string RegValueText(uint32_t rootKey, std::string_view key, std::string_view name) {
  std::string s = RegKeyText(rootKey, key);
  s.append("\\").append(name);
  return s;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseInteger(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  if (text[0] == '$') {
    std::string_view digits = text.substr(1);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v << 4 | static_cast<uint32_t>(d);
    }
    value = static_cast<int32_t>(v);
    return true;
  }
  size_t pos = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) return false;
  int64_t v = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool ParseFloat(std::string_view text, char decimalSeparator, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  std::string_view t = text.substr(b, e - b);

  // Rewritten with "." as the separator for the C library's conversion.
  std::string c;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
  int digits = 0;
  bool separator = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      c += t[i];
      ++digits;
    } else if (t[i] == decimalSeparator && !separator) {
      c += '.';
      separator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
    int expDigits = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++expDigits) c += t[i];
    if (expDigits == 0) return false;
  }
  if (i != t.size()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(c.c_str(), &end);
  if (end != c.c_str() + c.size() || !std::isfinite(v)) return false;
  if (errno == ERANGE && std::fabs(v) > 1.0) return false;  // overflow; an underflow gives 0
  value = v;
  return true;
}

bool BinaryValueBytes(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.substr(0, 4) != "hex:") {
    bytes.assign(text);
    return true;
  }
  std::string_view hex = text.substr(4);
  if (hex.empty()) return true;
  for (size_t i = 0;; i += 3) {
    if (i + 2 > hex.size()) return false;
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes += static_cast<char>(hi << 4 | lo);
    if (i + 2 == hex.size()) return true;
    if (hex[i + 2] != ',') return false;
  }
}

TRegData ConvertRegValue(uint8_t valueType, const std::string& text, char decimalSeparator) {
  TRegData d;
  int32_t n = 0;
  switch (valueType) {
    case 0:
      if (!BinaryValueBytes(text, d.Bytes))
        throw EInstallError("\"" + text + "\" is not valid binary data (hex: with two-digit bytes separated by commas).");
      d.Kind = TRegData::Binary;
      break;
    case 1:
      if (!ParseInteger(text, n)) throw EInstallError("\"" + text + "\" is not a valid integer value.");
      if (n == 0 || n == 1) {
        d.Kind = TRegData::DWord;
        d.Number = static_cast<uint32_t>(n);
      }
      break;
    case 2: {
      double f = 0;
      if (!ParseFloat(text, decimalSeparator, f))
        throw EInstallError("\"" + text + "\" is not a valid floating point value.");
      d.Kind = TRegData::Binary;
      d.Bytes.assign(reinterpret_cast<const char*>(&f), sizeof f);
      break;
    }
    case 3:
      if (!ParseInteger(text, n)) throw EInstallError("\"" + text + "\" is not a valid integer value.");
      d.Kind = TRegData::DWord;
      d.Number = static_cast<uint32_t>(n);
      break;
    case 4:
      d.Kind = TRegData::String;
      d.Bytes = text;
      break;
    default:
      break;
  }
  return d;
}

bool ShortcutWanted(std::string_view location, bool startMenuChecked, bool desktopChecked,
                    bool quickLaunchChecked) {
  auto has = [&](const char* token) { return location.find(token) != std::string_view::npos; };
  bool wanted = false;
  if ((has("<StartMenu>") || has("<Programs>") || has("<Startup>")) && startMenuChecked) wanted = true;
  if (has("<Desktop>") && desktopChecked) wanted = true;
  if (has("<QuickLaunch>") && quickLaunchChecked) wanted = true;
  return wanted;
}

std::string RegisterCommand(std::string_view expandedPath) {
  std::string s = "regsvr32.exe /s \"";
  s.append(expandedPath).append("\"");
  return s;
}
