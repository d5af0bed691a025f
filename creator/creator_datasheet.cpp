// The Setup Datasheet's keys, value forms and loading rules: see creator_datasheet.h.
#include "creator/creator_datasheet.h"

#include <cstdint>

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

bool SameKey(const std::string& a, const std::string& b) {  // names compare without regard to case
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y) return false;
  }
  return true;
}

class TSection {
public:
  TSection(TReader& r, const char* name) : R(r), Name(name), Keys(r.Keys(name)) {}
  bool Has(const std::string& key) const {
    for (const std::string& k : Keys)
      if (SameKey(k, key)) return true;
    return false;
  }
  std::string Text(const std::string& key) const { return R.Value(Name, key).value_or(""); }
  bool Flag(const std::string& key, bool def) const {
    int32_t v = 0;
    std::optional<std::string> s = R.Value(Name, key);
    return s && ParseInteger(*s, v) ? v != 0 : def;
  }
  int32_t Integer(const std::string& key) const {
    int32_t v = 0;
    std::optional<std::string> s = R.Value(Name, key);
    return s && ParseInteger(*s, v) ? v : 0;
  }
  // Entries n = 0, 1, ... while the first key followed by n exists.
  template <size_t N>
  void Rows(const char* const (&keys)[N], std::vector<std::array<std::string, N>>& rows) const {
    rows.clear();
    for (size_t n = 0; Has(keys[0] + std::to_string(n)); ++n) {
      std::array<std::string, N> row;
      for (size_t k = 0; k < N; ++k) row[k] = Text(keys[k] + std::to_string(n));
      rows.push_back(row);
    }
  }
  void Items(const char* key, std::vector<std::string>& items) const {
    items.clear();
    for (size_t n = 0; Has(key + std::to_string(n)); ++n) items.push_back(Text(key + std::to_string(n)));
  }

private:
  TReader& R;
  std::string Name;
  std::vector<std::string> Keys;
};

}  // namespace

TDatasheet Read(TReader& r) {
  TDatasheet d;
  {
    TSection s(r, "APPINFO");
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
    TSection s(r, "ANNOUNCEMENT");
    d.CAV = s.Flag("CAV", false);
    d.CA = s.Flag("CA", false);
    d.A = s.Flag("A", false);
    d.AV = s.Flag("AV", false);
  }
  {
    TSection s(r, "BUILD");
    d.Web = s.Flag("Web", false);
    d.CDDVD = s.Flag("CDDVD", false);
    d.Compression = s.Flag("Compression", false);
  }
  TSection(r, "FILELIST").Rows(kFileKeys, d.Files);
  TSection(r, "REGISTRY").Rows(kRegistryKeys, d.Registry);
  {
    TSection s(r, "COMPATIBILITY");
    d.All = s.Flag("All", true);
    d.Custom = s.Flag("Custom", true);
    for (size_t i = 0; i < 8; ++i) d.Systems[i] = s.Flag(kSystemKeys[i], true);
  }
  {
    TSection s(r, "SHORTCUTS");
    s.Rows(kShortcutKeys, d.Shortcuts);
    for (size_t n = 0; n < d.Shortcuts.size(); ++n)
      d.Shortcuts[n][5] = std::to_string(s.Integer("IconIndex" + std::to_string(n)));
  }
  TSection(r, "DLLOCX").Items("Item", d.Dlls);
  TSection(r, "POSTINSTALL").Items("Item", d.PostInstall);
  TSection(r, "PREUNINSTALL").Items("Item", d.PreUninstall);
  TSection(r, "PACKAGES").Items("Package", d.Packages);
  return d;
}

}  // namespace datasheet
