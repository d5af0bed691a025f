#include "setup/setup_installcore.h"

#include <cmath>
#include <cstring>

std::string LogLine(std::string_view tag, std::string_view text) {
  std::string line;
  line.reserve(tag.size() + text.size() + 2);
  line.append(tag).append(text).append("\r\n");
  return line;
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

std::string Concat(std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string s;
  s.reserve(size);
  for (std::string_view part : parts) s += part;
  return s;
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

namespace {

// An unsigned integer of up to 4096 bits in 32-bit words, least significant first: room for every
// number the conversion below builds.
struct TBigNum {
  static constexpr int Capacity = 128;
  uint32_t W[Capacity];
  int N = 0;  // words in use; the top one is not 0

  explicit TBigNum(uint32_t v) {
    W[0] = v;
    N = v != 0;
  }
  void MulAdd(uint32_t m, uint32_t a) {  // this * m + a
    uint64_t carry = a;
    for (int i = 0; i < N; ++i) {
      carry += static_cast<uint64_t>(W[i]) * m;
      W[i] = static_cast<uint32_t>(carry);
      carry >>= 32;
    }
    if (carry) W[N++] = static_cast<uint32_t>(carry);
  }
  void MulPow10(int e) {
    for (; e >= 9; e -= 9) MulAdd(1000000000, 0);
    static constexpr uint32_t Pow10[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    MulAdd(Pow10[e], 0);
  }
  void ShiftLeft(int bits) {
    if (N == 0 || bits == 0) return;
    const int words = bits / 32, b = bits % 32;
    W[N] = 0;
    for (int i = N; i >= 0; --i) {
      uint32_t v = W[i] << b;
      if (b && i > 0) v |= W[i - 1] >> (32 - b);
      W[i + words] = v;
    }
    for (int i = 0; i < words; ++i) W[i] = 0;
    N += words + 1;
    if (W[N - 1] == 0) --N;
  }
  int BitLength() const {
    if (N == 0) return 0;
    int bits = 32 * N;
    for (uint32_t top = W[N - 1]; !(top & 0x80000000u); top <<= 1) --bits;
    return bits;
  }
  bool NotBelow(const TBigNum& o) const {
    if (N != o.N) return N > o.N;
    for (int i = N - 1; i >= 0; --i)
      if (W[i] != o.W[i]) return W[i] > o.W[i];
    return true;
  }
  void Subtract(const TBigNum& o) {  // o <= this
    int64_t borrow = 0;
    for (int i = 0; i < N; ++i) {
      int64_t d = static_cast<int64_t>(W[i]) - (i < o.N ? o.W[i] : 0) - borrow;
      borrow = d < 0;
      W[i] = static_cast<uint32_t>(d);
    }
    while (N > 0 && W[N - 1] == 0) --N;
  }
};

// Significant digits kept. Every double and every halfway point between two neighbours has at
// most 767, so a longer number is cut to this many with a 1 appended when a digit cut off was not
// 0: it then lies on the same side of every such point and rounds alike.
constexpr int MaxDigits = 800;

// The digits, as a whole number, times ten to the exponent, rounded to the nearest double (a tie
// to the even one), as the C library's conversion does. False when that is beyond the double's
// range; a number too small for the smallest subnormal gives 0.
bool DecimalToDouble(const char* digits, int count, int exponent, bool negative, double& value) {
  uint64_t bits = 0;
  if (count > 0 && count + exponent > -324) {  // else below half the smallest subnormal
    if (count + exponent > 310) return false;   // 10^309 and more
    // value = r / s, and then r is scaled to lie in [s, 2s): the value is in [2^b, 2^(b+1)).
    TBigNum r(0), s(1);
    for (int i = 0; i < count; ++i) r.MulAdd(10, static_cast<uint32_t>(digits[i] - '0'));
    if (exponent >= 0) r.MulPow10(exponent);
    else s.MulPow10(-exponent);
    int b = r.BitLength() - s.BitLength();
    if (b >= 0) s.ShiftLeft(b);
    else r.ShiftLeft(-b);
    if (!r.NotBelow(s)) {
      r.ShiftLeft(1);
      --b;
    }
    if (b > 1023) return false;
    // The mantissa's bits by long division: 53 of them, fewer for a subnormal.
    const int precision = b >= -1022 ? 53 : b + 1075;
    if (precision >= 0) {
      uint64_t m = 0;
      for (int i = 0; i <= precision; ++i) {  // the last turn gives the rounding bit
        const bool bit = r.NotBelow(s);
        if (bit) r.Subtract(s);
        if (i == precision) {
          if (bit && (r.N != 0 || (m & 1))) ++m;
          break;
        }
        m = m << 1 | bit;
        r.ShiftLeft(1);
      }
      // A carry out of the mantissa moves into the exponent field by itself.
      bits = b >= -1022 ? (static_cast<uint64_t>(b + 1023) << 52) + (m - (uint64_t{1} << 52)) : m;
      if (bits >= 0x7FF0000000000000u) return false;
    }
  }
  if (negative) bits |= uint64_t{1} << 63;
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

}  // namespace

bool ParseFloat(std::string_view text, char decimalSeparator, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  std::string_view t = text.substr(b, e - b);

  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  // The number is the significant digits kept (from the first that is not 0), as a whole number,
  // times ten to the power of: digits cut off, less digits after the separator, plus the exponent.
  char kept[MaxDigits + 1];
  int count = 0, cutOff = 0, fraction = 0;
  bool cutNonZero = false;
  int digits = 0;
  bool separator = false;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (separator) ++fraction;
      if (count < MaxDigits) {
        if (count > 0 || c != '0') kept[count++] = c;
      } else {
        ++cutOff;
        cutNonZero = cutNonZero || c != '0';
      }
    } else if (c == decimalSeparator && !separator) {
      separator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  int exponent = 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negativeExponent = t[i++] == '-';
    int expDigits = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++expDigits)
      if (exponent < 100000000) exponent = exponent * 10 + (t[i] - '0');  // far past either end
    if (expDigits == 0) return false;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != t.size()) return false;
  int power = cutOff - fraction + exponent;
  if (cutNonZero) {
    kept[count++] = '1';
    --power;
  }
  return DecimalToDouble(kept, count, power, negative, value);
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
        throw EInstallError(Concat({"\"", text, "\" is not valid binary data (hex: with two-digit bytes separated by commas)."}));
      d.Kind = TRegData::Binary;
      break;
    case 1:
      if (!ParseInteger(text, n)) throw EInstallError(Concat({"\"", text, "\" is not a valid integer value."}));
      if (n == 0 || n == 1) {
        d.Kind = TRegData::DWord;
        d.Number = static_cast<uint32_t>(n);
      }
      break;
    case 2: {
      double f = 0;
      if (!ParseFloat(text, decimalSeparator, f))
        throw EInstallError(Concat({"\"", text, "\" is not a valid floating point value."}));
      d.Kind = TRegData::Binary;
      d.Bytes.assign(reinterpret_cast<const char*>(&f), sizeof f);
      break;
    }
    case 3:
      if (!ParseInteger(text, n)) throw EInstallError(Concat({"\"", text, "\" is not a valid integer value."}));
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
