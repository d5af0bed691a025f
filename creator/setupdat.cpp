#include "creator/setupdat.h"

#include <array>
#include <charconv>

std::string Quoted(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 2);
  s.append(1, '\'').append(text).append(1, '\'');
  return s;
}

namespace {

char UpperAZ(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsFoldedAZ(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAZ(a[i]) != UpperAZ(b[i])) return false;
  return true;
}

constexpr std::string_view BinaryType = "Binary Data";

void AppendU8(Bytes& out, size_t n) { out.push_back(static_cast<uint8_t>(n)); }
void AppendU16(Bytes& out, size_t n) {
  out.push_back(static_cast<uint8_t>(n));
  out.push_back(static_cast<uint8_t>(n >> 8));
}

void AppendStrings(Bytes& out, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) AppendShortString(out, line);
}

}  // namespace

// --- Paths --------------------------------------------------------------------------------------

std::string_view FileNamePart(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view DirectoryPart(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

std::string WithBackslash(std::string_view dir) {
  std::string s(dir);
  if (!s.empty() && s.back() != '\\') s += '\\';
  return s;
}

std::string BaseDirectory(std::string_view outputDir, std::string_view title) {
  std::string base(outputDir);
  if (base.empty() || base.back() != '\\') base += '\\';
  base += title;
  base += '\\';
  return base;
}

std::string TitleProblem(std::string_view title) {
  const std::string what = "The application title " + Quoted(title);
  if (title.find_first_not_of(' ') == std::string_view::npos)
    return what + " is empty; it names the output folder and files";
  for (char c : title) {
    if (static_cast<unsigned char>(c) < 32)
      return what + " holds a control character, which a file name cannot hold";
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      return what + " holds the character '" + c + "', which a file name cannot hold";
  }
  if (title.back() == '.' || title.back() == ' ')
    return what + " ends with a dot or a blank, which Windows drops from a file name";
  // Device names stay devices whatever follows their first dot.
  std::string_view stem = title.substr(0, title.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> devices = {"CON", "PRN", "AUX", "NUL"};
  bool device = false;
  for (std::string_view d : devices) device = device || EqualsFoldedAZ(stem, d);
  if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9')
    device = device || EqualsFoldedAZ(stem.substr(0, 3), "COM") ||
             EqualsFoldedAZ(stem.substr(0, 3), "LPT");
  if (device) return what + " is the name of a device, not of a file";
  if (title.size() + 4 > 255)  // title + ".sds" / ".exe" is one file name of at most 255
    return what + " is longer than the 251 characters a file name leaves for it";
  return {};
}

// --- Records ------------------------------------------------------------------------------------

bool HasShortcutKind(const std::vector<BuildProject::ShortcutRow>& shortcuts, uint8_t kind) {
  std::vector<std::string_view> tags;
  switch (kind) {
    case 1: tags = {"<Programs>", "<StartMenu>", "<Startup>"}; break;
    case 2: tags = {"<QuickLaunch>"}; break;
    case 3: tags = {"<Desktop>"}; break;
    default: return false;
  }
  for (const auto& row : shortcuts)
    for (std::string_view tag : tags)
      if (row.Location.find(tag) != std::string::npos) return true;
  return false;
}

std::optional<uint32_t> RootKeyOf(std::string_view rootText) {
  struct Root { std::string_view name; uint32_t handle; };
  static constexpr Root roots[] = {
      {"HKEY_CLASSES_ROOT", 0x80000000}, {"HKEY_CURRENT_USER", 0x80000001},
      {"HKEY_LOCAL_MACHINE", 0x80000002}, {"HKEY_USERS", 0x80000003},
      {"HKEY_CURRENT_CONFIG", 0x80000005}};
  for (const Root& r : roots)
    if (EqualsFoldedAZ(rootText, r.name)) return r.handle;
  return std::nullopt;
}

std::optional<uint8_t> ValueTypeOf(std::string_view typeText) {
  static constexpr std::string_view types[] = {BinaryType, "Boolean", "Float", "Integer", "String"};
  for (uint8_t code = 0; code < 5; ++code)
    if (typeText == types[code]) return code;
  return std::nullopt;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  // Hexadecimal spells the 32-bit pattern ("$FFFFFFFF" is -1); decimal must fit as it is.
  if (base == 16 && !negative && value <= UINT32_MAX) return static_cast<int32_t>(value);
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

TAppInfoRec MakeAppInfo(const BuildProject::AppInfo& info,
                        const std::vector<BuildProject::ShortcutRow>& shortcuts,
                        int32_t uninstallerSize) {
  TAppInfoRec rec;
  ClearRec(rec);
  rec.AppTitle.Set(info.AppTitle);
  rec.AppVersion.Set(info.AppVersion);
  rec.Company.Set(info.Company);
  rec.Homepage.Set(info.Homepage);
  // One radio group: the last checked button in this order wins, none checked leaves 0.
  if (info.RadioButton3) rec.AnnounceMode = 0;
  if (info.RadioButton4) rec.AnnounceMode = 1;
  if (info.RadioButton6) rec.AnnounceMode = 2;
  if (info.RadioButton5) rec.AnnounceMode = 3;
  rec.NeedsReboot = info.NeedsReboot;
  uint8_t* os = &rec.OsWin95;  // the eight flags lie side by side
  for (int i = 0; i < 8; ++i) os[i] = info.Os[i];
  rec.HasStartMenuShortcut = HasShortcutKind(shortcuts, 1);
  rec.HasQuickLaunchShortcut = HasShortcutKind(shortcuts, 2);
  rec.HasDesktopShortcut = HasShortcutKind(shortcuts, 3);
  rec.DefaultDestDir.Set(info.DefaultDestDir);
  rec.LicenseMustAccept = info.LicenseMustAccept;
  rec.CompressData = info.CompressData;
  rec.UninstallerSize = uninstallerSize;
  rec.Unattended = info.Unattended;
  return rec;
}

TRegValueRec MakeRegValue(const BuildProject::RegistryRow& row) {
  TRegValueRec rec;
  ClearRec(rec);
  std::string_view path = row.Path;
  size_t cut = path.find('\\');
  std::string_view root = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
  rec.RootKey = RootKeyOf(root).value_or(0);
  rec.KeyPath.Set(cut == std::string_view::npos ? path : path.substr(cut + 1));
  rec.ValueName.Set(row.Key);
  rec.ValueData.Set(row.Value);
  rec.ValueType = ValueTypeOf(row.Type).value_or(0);
  return rec;
}

TShortcutRec MakeShortcut(const BuildProject::ShortcutRow& row) {
  TShortcutRec rec;
  ClearRec(rec);
  rec.Location.Set(row.Location);
  rec.Target.Set(row.Target);
  rec.ShortcutCaption.Set(row.Caption);
  rec.Parameters.Set(row.Parameters);
  if (!row.Icon.empty()) {
    std::optional<int32_t> index = ParseInteger(row.IconIndex);
    if (!index)
      throw EBuildError("The icon index " + Quoted(row.IconIndex) + " of the shortcut " +
                        Quoted(row.Caption) + " is no integer");
    rec.HasIcon = 1;
    rec.IconFile.Set(row.Icon);
    rec.IconIndex = static_cast<uint16_t>(*index);
  }
  return rec;
}

// --- Sections -----------------------------------------------------------------------------------

void AppendShortString(Bytes& out, std::string_view text) {
  ShortString s;
  s.Set(text);
  AppendRecord(out, s);
}

void AppendPackageList(Bytes& out, const std::vector<std::string>& packages) {
  AppendU8(out, packages.size());
  AppendStrings(out, packages);
}

void AppendRegistryList(Bytes& out, const std::vector<BuildProject::RegistryRow>& rows) {
  AppendU16(out, rows.size());
  for (const auto& row : rows) AppendRecord(out, MakeRegValue(row));
}

void AppendShortcutList(Bytes& out, const std::vector<BuildProject::ShortcutRow>& rows) {
  AppendU8(out, rows.size());
  for (const auto& row : rows) AppendRecord(out, MakeShortcut(row));
}

void AppendDllList(Bytes& out, const std::vector<std::string>& dlls) {
  AppendU16(out, dlls.size());
  AppendStrings(out, dlls);
}

void AppendCommandLists(Bytes& out, const std::vector<std::string>& post,
                        const std::vector<std::string>& preUninstall) {
  AppendU8(out, post.size());
  AppendStrings(out, post);
  AppendU8(out, preUninstall.size());
  AppendStrings(out, preUninstall);
}

// --- Refusals -----------------------------------------------------------------------------------

std::vector<std::string> CheckProject(const BuildProject& p) {
  std::vector<std::string> problems;
  auto count = [&](size_t n, size_t max, const char* what) {
    if (n > max)
      problems.push_back("The project has " + std::to_string(n) + " " + what + "; setup.dat holds at most " +
                         std::to_string(max));
  };
  count(p.Packages.size(), 255, "packages");
  count(p.Registry.size(), 65535, "registry values");
  count(p.Shortcuts.size(), 255, "shortcuts");
  count(p.DllList.size(), 65535, "DLL/OCX files");
  count(p.PIList.size(), 255, "post-installation commands");
  count(p.PUIList.size(), 255, "pre-uninstallation commands");
  count(p.Files.size(), INT32_MAX, "files");

  for (const auto& row : p.Registry) {
    const std::string which = "The registry value " + Quoted(row.Key) + " in " + Quoted(row.Path);
    std::string_view path = row.Path;
    size_t cut = path.find('\\');
    std::string_view root = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
    if (!RootKeyOf(root))
      problems.push_back(which + " has the root key " + Quoted(root) +
                         ", which is none of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
                         "HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_CONFIG");
    if (!ValueTypeOf(row.Type))
      problems.push_back(which + " has the type " + Quoted(row.Type) +
                         ", which is none of Binary Data, Boolean, Float, Integer and String");
    // Cutting a hex list would install other bytes than the ones given.
    if (row.Type == BinaryType && row.Value.starts_with("hex:")) {
      std::string_view keyPath = cut == std::string_view::npos ? path : path.substr(cut + 1);
      if (keyPath.size() > 255 || row.Key.size() > 255 || row.Value.size() > 255)
        problems.push_back(which + " is binary data whose key path, name or value is longer than "
                           "the 255 characters setup.dat holds");
    }
  }
  for (const auto& row : p.Shortcuts)
    if (!row.Icon.empty() && !ParseInteger(row.IconIndex))
      problems.push_back("The icon index " + Quoted(row.IconIndex) + " of the shortcut " +
                         Quoted(row.Caption) + " is no integer");
  return problems;
}
