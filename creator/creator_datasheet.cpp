// The Setup Datasheet's keys, value forms and loading rules: see creator_datasheet.h.
#include "creator/creator_datasheet.h"

#include <cstdint>
#include <string_view>

namespace datasheet {

std::string Quoted(const std::string& s) { return '"' + s + '"'; }

bool ParseInteger(const std::string& s, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == s.size()) return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) return false;
    v = v * base + digit;
    if (v > 0xFFFFFFFFull) return false;
  }
  if (base == 10 && v > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
  // Hexadecimal takes the 32 bits as written: $FFFFFFFF is -1.
  uint32_t bits = static_cast<uint32_t>(v);
  value = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

namespace {

std::string Bool(bool b) { return b ? "1" : "0"; }

std::string IntegerText(const std::string& s) {
  int32_t v = 0;
  return std::to_string(ParseInteger(s, v) ? v : 0);
}

template <size_t N>
void Rows(std::vector<TEntry>& out, const char* section, const char* const (&keys)[N],
          const std::vector<std::array<std::string, N>>& rows) {
  for (size_t n = 0; n < rows.size(); ++n)
    for (size_t k = 0; k < N; ++k)
      out.push_back({section, keys[k] + std::to_string(n), Quoted(rows[n][k])});
}

void Items(std::vector<TEntry>& out, const char* section, const char* key, const std::vector<std::string>& items) {
  for (size_t n = 0; n < items.size(); ++n) out.push_back({section, key + std::to_string(n), Quoted(items[n])});
}

const char* const kFileKeys[] = {"Destination", "Source", "Package"};
const char* const kRegistryKeys[] = {"Path", "Key", "Value", "Type"};
const char* const kShortcutKeys[] = {"Location", "Caption", "Target", "Parameters", "Icon", "IconIndex"};

}  // namespace

std::vector<TEntry> Entries(const TDatasheet& d) {
  std::vector<TEntry> e = {
      {"APPINFO", "Name", Quoted(d.Name)},
      {"APPINFO", "Version", Quoted(d.Version)},
      {"APPINFO", "Company", Quoted(d.Company)},
      {"APPINFO", "Homepage", Quoted(d.Homepage)},
      {"APPINFO", "ShowLicense", Bool(d.ShowLicense)},
      {"APPINFO", "LicenseFile", Quoted(d.LicenseFile)},
      {"APPINFO", "Reboot", Bool(d.Reboot)},
      {"APPINFO", "Destination", Quoted(d.Destination)},
      {"APPINFO", "PackageDest", Quoted(d.PackageDest)},
      {"ANNOUNCEMENT", "CAV", Bool(d.CAV)},
      {"ANNOUNCEMENT", "CA", Bool(d.CA)},
      {"ANNOUNCEMENT", "A", Bool(d.A)},
      {"ANNOUNCEMENT", "AV", Bool(d.AV)},
      {"BUILD", "Web", Bool(d.Web)},
      {"BUILD", "CDDVD", Bool(d.CDDVD)},
      {"BUILD", "Compression", Bool(d.Compression)},
  };
  Rows(e, "FILELIST", kFileKeys, d.Files);
  Rows(e, "REGISTRY", kRegistryKeys, d.Registry);
  e.push_back({"COMPATIBILITY", "All", Bool(d.All)});
  e.push_back({"COMPATIBILITY", "Custom", Bool(d.Custom)});
  for (size_t i = 0; i < 8; ++i) e.push_back({"COMPATIBILITY", kSystemKeys[i], Bool(d.Systems[i])});
  for (size_t n = 0; n < d.Shortcuts.size(); ++n) {
    for (size_t k = 0; k < 5; ++k)
      e.push_back({"SHORTCUTS", kShortcutKeys[k] + std::to_string(n), Quoted(d.Shortcuts[n][k])});
    e.push_back({"SHORTCUTS", "IconIndex" + std::to_string(n), IntegerText(d.Shortcuts[n][5])});
  }
  Items(e, "DLLOCX", "Item", d.Dlls);
  Items(e, "POSTINSTALL", "Item", d.PostInstall);
  Items(e, "PREUNINSTALL", "Item", d.PreUninstall);
  Items(e, "PACKAGES", "Package", d.Packages);
  return e;
}

namespace {

std::string Folded(std::string s) {  // names compare with the letters A to Z folded
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  return s;
}

bool Blank(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

// One enclosing pair of quotes, double or single, goes.
std::string_view Unquoted(std::string_view v) {
  const bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
  return quoted ? v.substr(1, v.size() - 2) : v;
}

}  // namespace

std::string FileText(const std::vector<TEntry>& entries) {
  struct TKeyOut {
    const std::string* Name;
    const std::string* Value;
  };
  struct TSectionOut {
    const std::string* Name;
    std::vector<TKeyOut> Keys;
    std::unordered_map<std::string, size_t> Places;  // a key's place in Keys, by its folded name
  };
  std::vector<TSectionOut> sections;
  std::unordered_map<std::string, size_t> places;  // a section's place, by its folded name
  size_t size = 0;
  for (const TEntry& e : entries) {
    auto [s, newSection] = places.try_emplace(Folded(e.Section), sections.size());
    if (newSection) {
      sections.push_back({&e.Section, {}, {}});
      size += e.Section.size() + 4;
    }
    TSectionOut& out = sections[s->second];
    auto [k, newKey] = out.Places.try_emplace(Folded(e.Key), out.Keys.size());
    if (newKey) {
      out.Keys.push_back({&e.Key, &e.Value});
      size += e.Key.size() + 3;
    } else {
      size -= out.Keys[k->second].Value->size();
      out.Keys[k->second].Value = &e.Value;
    }
    size += e.Value.size();
  }
  std::string text;
  text.reserve(size);
  for (const TSectionOut& out : sections) {
    text.append(1, '[').append(*out.Name).append("]\r\n");
    for (const TKeyOut& k : out.Keys) text.append(*k.Name).append(1, '=').append(*k.Value).append("\r\n");
  }
  return text;
}

TSection::TSection(const std::string& lines) {
  for (size_t p = 0; p < lines.size();) {
    size_t end = lines.find('\0', p);
    if (end == std::string::npos) end = lines.size();
    std::string_view line = Trimmed(std::string_view(lines).substr(p, end - p));
    p = end + 1;
    if (line.empty() || line.front() == ';') continue;
    const size_t eq = line.find('=');
    auto [key, first] = Keys.try_emplace(Folded(std::string(Trimmed(line.substr(0, eq)))));
    if (eq == std::string_view::npos) continue;
    if (first) key->second.Value = std::string(Unquoted(Trimmed(line.substr(eq + 1))));
    key->second.Listed = true;
  }
}

bool TSection::Has(const std::string& key) const {
  auto k = Keys.find(Folded(key));
  return k != Keys.end() && k->second.Listed;
}

std::optional<std::string> TSection::Value(const std::string& key) const {
  auto k = Keys.find(Folded(key));
  return k != Keys.end() ? k->second.Value : std::nullopt;
}

namespace {

// A section of the file, read once, and the value forms of its keys.
class TSectionReader {
public:
  TSectionReader(TReader& r, const char* name) : S(r.Section(name)) {}
  std::string Text(const std::string& key) const { return S.Value(key).value_or(""); }
  bool Flag(const std::string& key, bool def) const {
    int32_t v = 0;
    std::optional<std::string> s = S.Value(key);
    return s && ParseInteger(*s, v) ? v != 0 : def;
  }
  int32_t Integer(const std::string& key) const {
    int32_t v = 0;
    std::optional<std::string> s = S.Value(key);
    return s && ParseInteger(*s, v) ? v : 0;
  }
  // Entries n = 0, 1, ... while the first key followed by n is on the key list.
  template <size_t N>
  void Rows(const char* const (&keys)[N], std::vector<std::array<std::string, N>>& rows) const {
    rows.clear();
    for (size_t n = 0; S.Has(keys[0] + std::to_string(n)); ++n) {
      std::array<std::string, N> row;
      for (size_t k = 0; k < N; ++k) row[k] = Text(keys[k] + std::to_string(n));
      rows.push_back(std::move(row));
    }
  }
  void Items(const char* key, std::vector<std::string>& items) const {
    items.clear();
    for (size_t n = 0; S.Has(key + std::to_string(n)); ++n) items.push_back(Text(key + std::to_string(n)));
  }

private:
  TSection S;
};

}  // namespace

TDatasheet Read(TReader& r) {
  TDatasheet d;
  {
    TSectionReader s(r, "APPINFO");
    d.Name = s.Text("Name");
    d.Version = s.Text("Version");
    d.Company = s.Text("Company");
    d.Homepage = s.Text("Homepage");
    d.ShowLicense = s.Flag("ShowLicense", false);
    d.LicenseFile = s.Text("LicenseFile");
    d.Reboot = s.Flag("Reboot", false);
    d.Destination = s.Text("Destination");
    d.PackageDest = s.Text("PackageDest");
  }
  {
    TSectionReader s(r, "ANNOUNCEMENT");
    d.CAV = s.Flag("CAV", false);
    d.CA = s.Flag("CA", false);
    d.A = s.Flag("A", false);
    d.AV = s.Flag("AV", false);
  }
  {
    TSectionReader s(r, "BUILD");
    d.Web = s.Flag("Web", false);
    d.CDDVD = s.Flag("CDDVD", false);
    d.Compression = s.Flag("Compression", false);
  }
  TSectionReader(r, "FILELIST").Rows(kFileKeys, d.Files);
  TSectionReader(r, "REGISTRY").Rows(kRegistryKeys, d.Registry);
  {
    TSectionReader s(r, "COMPATIBILITY");
    d.All = s.Flag("All", true);
    d.Custom = s.Flag("Custom", true);
    for (size_t i = 0; i < 8; ++i) d.Systems[i] = s.Flag(kSystemKeys[i], true);
  }
  {
    TSectionReader s(r, "SHORTCUTS");
    s.Rows(kShortcutKeys, d.Shortcuts);
    for (size_t n = 0; n < d.Shortcuts.size(); ++n)
      d.Shortcuts[n][5] = std::to_string(s.Integer("IconIndex" + std::to_string(n)));
  }
  TSectionReader(r, "DLLOCX").Items("Item", d.Dlls);
  TSectionReader(r, "POSTINSTALL").Items("Item", d.PostInstall);
  TSectionReader(r, "PREUNINSTALL").Items("Item", d.PreUninstall);
  TSectionReader(r, "PACKAGES").Items("Package", d.Packages);
  return d;
}

}  // namespace datasheet
