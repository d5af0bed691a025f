// The registry export reader.
#include "creator/creator_regimport.h"

#include <algorithm>
#include <string_view>

namespace {

struct TLine {
  std::string Text;
  bool Lossy = false;  // a character of it has no ANSI form
};

// Splits at LF; a CR before the LF ends the line too, a CR elsewhere is dropped, and so is every NUL.
template <typename Char>
std::vector<std::basic_string<Char>> SplitLines(const Char* p, size_t n) {
  std::vector<std::basic_string<Char>> lines;
  std::basic_string<Char> line;
  for (size_t i = 0; i < n; ++i) {
    const Char c = p[i];
    if (c == Char('\n')) {
      lines.push_back(std::move(line));
      line.clear();
    } else if (c != Char('\r') && c != Char(0)) {
      line.push_back(c);
    }
  }
  lines.push_back(std::move(line));
  return lines;
}

std::vector<TLine> ReadLines(const std::vector<uint8_t>& file, TWideToAnsi toAnsi) {
  std::vector<TLine> lines;
  if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
    std::u16string wide;
    wide.reserve(file.size() / 2);
    for (size_t i = 2; i + 1 < file.size(); i += 2)
      wide.push_back(static_cast<char16_t>(file[i] | file[i + 1] << 8));
    for (const std::u16string& w : SplitLines(wide.data(), wide.size())) {
      TLine line;
      line.Lossy = !toAnsi(w, line.Text);
      lines.push_back(std::move(line));
    }
  } else {
    for (std::string& s : SplitLines(reinterpret_cast<const char*>(file.data()), file.size()))
      lines.push_back(TLine{std::move(s), false});
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string LowerAZ(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// Reads a quoted text from s[0] == '"' up to the first double quote that no backslash escapes:
// text is what stands between the quotes, escapes as written (without a closing quote, the rest of
// s); end is past the closing quote.
bool ReadQuoted(std::string_view s, std::string& text, size_t& end) {
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      ++i;
    } else if (s[i] == '"') {
      text = s.substr(1, i - 1);
      end = i + 1;
      return true;
    }
  }
  text = s.substr(std::min<size_t>(1, s.size()));
  return false;
}

// The setup runtime expands every value name and string at installation, and that collapses each
// pair of backslashes into one (a run of n gives n / 2 + n % 2). The export writes a backslash as
// two, a double quote as \" and a line break as \n or \r; after a backslash any other character
// stands for both, as the registry editor reads them back. So that what installs is what was
// exported, a row holds:

// for string data, the text as the export wrote it, with its pairs of backslashes for the runtime
// to collapse, and \" undone into the quote. False for a line break, which a datasheet cannot hold.
bool StringData(std::string_view written, std::string& data) {
  data.clear();
  for (size_t i = 0; i < written.size(); ++i) {
    if (written[i] == '\\' && i + 1 < written.size()) {
      const char next = written[++i];
      if (next == 'n' || next == 'r') return false;
      if (next != '"') data.push_back('\\');
      data.push_back(next);
    } else {
      data.push_back(written[i]);
    }
  }
  return true;
}

// for a value name, the character after each backslash of an escape, so that one backslash stays
// one; but a run of two or more is doubled, for the collapse to give it back. False for a line break.
bool ValueName(std::string_view written, std::string& name) {
  name.clear();
  size_t run = 0;  // the backslashes that name ends in
  for (size_t i = 0; i < written.size(); ++i) {
    char c = written[i];
    if (c == '\\' && i + 1 < written.size()) {
      c = written[++i];
      if (c == 'n' || c == 'r') return false;
    }
    if (c != '\\') {
      run = 0;
      name.push_back(c);
      continue;
    }
    // From the second backslash of a run on, each goes in twice, the second with the first's double.
    ++run;
    name.append(run == 1 ? 1 : run == 2 ? 3 : 2, '\\');
  }
  return true;
}

// "01,ab,FF" (blanks around the bytes allowed) into "hex:01,ab,ff"; when it is no byte list, an
// empty value and in why what is wrong with it.
std::string CanonicalBinary(std::string_view data, size_t& count, std::string& why) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string value = "hex:";
  count = 0;
  if (Trim(data).empty()) return value;
  while (true) {
    const size_t comma = data.find(',');
    const std::string_view token = Trim(data.substr(0, comma));
    if (token.empty()) {
      why = "binary data with an empty byte";
      return {};
    }
    int byte = 0;
    for (char c : token) {
      const int d = HexDigit(c);
      if (d < 0 || token.size() > 2) {
        why = "binary data with a byte that is not two hexadecimal digits";
        return {};
      }
      byte = byte * 16 + d;
    }
    if (count++) value.push_back(',');
    value.push_back(Digits[byte >> 4]);
    value.push_back(Digits[byte & 15]);
    if (comma == std::string_view::npos) return value;
    data.remove_prefix(comma + 1);
  }
}

class TRegParser {
 public:
  explicit TRegParser(TRegImportResult& result) : FResult(result) {}

  void Line(const TLine& line) {
    std::string_view l = line.Text;
    if (l.empty()) return;
    if (FContinued) {
      FContinued = l.back() == '\\';
      if (FContinued) l.remove_suffix(1);
      // The first two characters are the indent that the registry editor puts there.
      l.remove_prefix(std::min<size_t>(2, l.size()));
      FData += l;
      FLossy = FLossy || line.Lossy;
    } else if (l.front() == '[') {
      FPath = l.size() >= 2 ? std::string(l.substr(1, l.size() - 2)) : std::string();
      FPathLossy = line.Lossy;
    } else if (l.front() == '"') {
      ValueLine(l, line.Lossy);
    }
    if (FPending && !FContinued) {
      if (!FWrong.empty())
        NotImported(FWrong);
      else if (!FDropped)
        Complete();
      FPending = false;
    }
  }

  // At the end of the file: a value still waiting for its continuation is named.
  void Finish() {
    if (FPending && !FDropped) NotImported(FWrong.empty() ? "the file ends before its last line" : FWrong);
    FPending = false;
  }

 private:
  void ValueLine(std::string_view l, bool lossy) {
    FPending = true;
    FDropped = false;
    FWrong.clear();
    FLossy = lossy || FPathLossy;
    FData.clear();
    FType.clear();
    FContinued = l.back() == '\\';
    if (FContinued) l.remove_suffix(1);

    size_t end = 0;
    std::string written;
    if (!ReadQuoted(l, written, end) || !ValueName(written, FName)) {
      FName = written;
      return Malformed(end ? "name with a line break, which a datasheet cannot hold" : "name without a closing quote");
    }
    if (end >= l.size() || l[end] != '=') return Malformed("no equals sign after the name");
    const std::string_view data = l.substr(end + 1);
    if (data.empty()) return Malformed("no data after the equals sign");
    if (data.front() == '"') {
      if (FContinued) return Malformed("string ending in a backslash");
      size_t close = 0;
      if (!ReadQuoted(data, written, close)) return Malformed("string without a closing quote");
      if (close != data.size()) return Malformed("text after the closing quote of the string");
      if (!StringData(written, FData)) return Malformed("string with a line break, which a datasheet cannot hold");
      FType = "String";
      return;
    }
    // A deletion marker and the other types (hex(2), hex(7), ...) are no values to import.
    if (data == "-") return Drop();
    const size_t colon = data.find(':');
    const std::string word = LowerAZ(data.substr(0, colon == std::string_view::npos ? 0 : colon));
    if (word.starts_with("hex(")) return Drop();
    if (word == "hex")
      FType = "Binary Data";
    else if (word == "dword")
      FType = "Integer";
    else
      return Malformed("data that is no string, hex: or dword:");
    FData = data.substr(colon + 1);
  }

  void Drop() { FDropped = true; }
  void Malformed(const char* why) { FWrong = why; }

  void Complete() {
    std::string value;
    if (FType == "String") {
      if (FData.empty()) return;
      value = FData;
    } else if (FType == "Binary Data") {
      size_t count = 0;
      std::string why;
      value = CanonicalBinary(FData, count, why);
      if (value.empty()) return NotImported(why);
      if (count == 0) return;
      if (count > RegBinaryMax)
        return NotImported("binary data of " + std::to_string(count) + " bytes, more than the " +
                           std::to_string(RegBinaryMax) + " that fit");
    } else {
      const std::string_view digits = Trim(FData);
      if (digits.empty()) return NotImported("dword data without digits");
      for (char c : digits)
        if (HexDigit(c) < 0) return NotImported("dword data that is not hexadecimal");
      if (digits.size() > 8) return NotImported("dword data of more than 8 digits");
      value = "$" + std::string(digits);
    }
    const size_t slash = FPath.find('\\');
    const size_t keyPath = slash == std::string::npos ? 0 : FPath.size() - slash - 1;
    if (keyPath > RegFieldMax) return NotImported("key path longer than 255 characters");
    if (FName.size() > RegFieldMax) return NotImported("name longer than 255 characters");
    if (value.size() > RegFieldMax)
      return NotImported("text of " + std::to_string(value.size()) + " characters, more than the 255 that fit");
    if (FLossy) return NotImported("characters that the ANSI code page lacks");
    FResult.Rows.push_back(TRegImportRow{FPath, FName, std::move(value), FType});
  }

  void NotImported(const std::string& why) {
    FResult.NotImported.push_back(FPath + "\\" + FName + ": " + why);
  }

  TRegImportResult& FResult;
  std::string FPath, FName, FData, FType;
  std::string FWrong;       // why the value begun is malformed; it is named when it is complete
  bool FPathLossy = false;
  bool FContinued = false;  // the value goes on in the next line
  bool FPending = false;    // a value line has begun and its value is not yet complete
  bool FDropped = false;    // the value begun is of a kind that carries nothing
  bool FLossy = false;
};

}  // namespace

bool Latin1FromWide(const std::u16string& wide, std::string& ansi) {
  bool exact = true;
  ansi.clear();
  for (char16_t c : wide) {
    exact = exact && c <= 0xFF;
    ansi.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return exact;
}

TRegImportResult ParseRegExport(const std::vector<uint8_t>& file, TWideToAnsi toAnsi) {
  TRegImportResult result;
  const std::vector<TLine> lines = ReadLines(file, toAnsi);
  TRegParser parser(result);
  for (size_t i = 1; i < lines.size(); ++i) parser.Line(lines[i]);
  parser.Finish();
  return result;
}

std::string RegImportNotice(const TRegImportResult& result) {
  const auto& skipped = result.NotImported;
  if (skipped.empty()) return {};
  constexpr size_t Shown = 10;
  std::string text = skipped.size() == 1 ? "One value was not imported:"
                                         : std::to_string(skipped.size()) + " values were not imported:";
  text += "\r\n";
  for (size_t i = 0; i < skipped.size() && i < Shown; ++i) text += "\r\n" + skipped[i];
  if (skipped.size() > Shown) text += "\r\n... and " + std::to_string(skipped.size() - Shown) + " more";
  if (!result.Rows.empty()) text += "\r\n\r\nAll other values were imported.";
  return text;
}
