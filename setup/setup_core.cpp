#include "setup/setup_core.h"

#include "setup/setup_installcore.h"

#include <cstring>

std::string LowerAZ(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// ---- setup.dat ----

bool TByteReader::Read(void* dest, size_t n) {
  if (n > FLeft) return false;
  std::memcpy(dest, FData, n);
  FData += n;
  FLeft -= n;
  return true;
}

bool TByteReader::ReadU16(uint16_t& v) {
  uint8_t b[2];
  if (!Read(b, 2)) return false;
  v = static_cast<uint16_t>(b[0] | b[1] << 8);
  return true;
}

bool TByteReader::ReadI32(int32_t& v) {
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  v = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
  return true;
}

std::unique_ptr<TLHPointerList> NewRecordList() {
  auto list = std::make_unique<TLHPointerList>();
  list->SetCheckInterval(0);
  return list;
}

static bool ReadStrings(TByteReader& r, uint32_t count, std::unique_ptr<TStringList>& list) {
  list = std::make_unique<TStringList>();
  for (uint32_t i = 0; i < count; ++i) {
    ShortString s;
    if (!r.Read(&s, sizeof s)) return false;
    list->push_back(s.Str());
  }
  return true;
}

template <class Rec>
static bool ReadRecords(TByteReader& r, int64_t count, std::unique_ptr<TLHPointerList>& list) {
  list = NewRecordList();
  for (int64_t i = 0; i < count; ++i) {
    if (r.Left() < sizeof(Rec)) return false;
    auto* rec = new Rec;
    r.Read(rec, sizeof(Rec));
    list->Add(rec);
  }
  return true;
}

bool ReadSetupSections(TByteReader& r, const TSetupSections& s) {
  uint8_t n8;
  uint16_t n16;
  int32_t n32;
  return r.Read(s.AppInfo, sizeof(TAppInfoRec)) &&                                 //
         r.ReadU8(n8) && ReadStrings(r, n8, *s.Packages) &&                        //
         r.ReadU16(n16) && ReadRecords<TRegValueRec>(r, n16, *s.RegValues) &&      //
         r.ReadU8(n8) && ReadRecords<TShortcutRec>(r, n8, *s.Shortcuts) &&         //
         r.ReadU16(n16) && ReadStrings(r, n16, *s.DllFiles) &&                     //
         r.ReadU8(n8) && ReadStrings(r, n8, *s.PostInstallCommands) &&             //
         r.ReadU8(n8) && ReadStrings(r, n8, *s.PreUninstallCommands) &&            //
         r.ReadI32(n32) && ReadRecords<TPackedFileRec>(r, n32, *s.Files);
}

std::string BuildDisplayName(const TAppInfoRec& info) {
  switch (info.AnnounceMode) {
    case 0: return Concat({info.Company.Str(), " ", info.AppTitle.Str(), " ", info.AppVersion.Str()});
    case 1: return Concat({info.Company.Str(), " ", info.AppTitle.Str()});
    case 2: return info.AppTitle.Str();
    case 3: return Concat({info.AppTitle.Str(), " ", info.AppVersion.Str()});
    default: return {};
  }
}

// ---- placeholders ----

const std::string* TCachedSources::Kept(const std::string& key) const {
  for (size_t i = 0; i < Values.size(); i += 2)
    if (Values[i] == key) return &Values[i + 1];
  return nullptr;
}

std::string TCachedSources::Keep(const std::string& key, const std::string& value) {
  Values.push_back(key);
  Values.push_back(value);
  return value;
}

std::string TCachedSources::EnvVar(const std::string& name) {
  const std::string key = 'e' + name;
  const std::string* kept = Kept(key);
  return kept ? *kept : Keep(key, From->EnvVar(name));
}

std::string TCachedSources::RegistryText(uint32_t root, const char* key, const char* value) {
  std::string k = "r";
  k.append(reinterpret_cast<const char*>(&root), sizeof root);
  k.append(key).append(1, '\n').append(value);
  const std::string* kept = Kept(k);
  return kept ? *kept : Keep(k, From->RegistryText(root, key, value));
}

std::string TCachedSources::SpecialFolder(int csidl) {
  const std::string key = {'f', static_cast<char>(csidl)};
  const std::string* kept = Kept(key);
  return kept ? *kept : Keep(key, From->SpecialFolder(csidl));
}

bool TCachedSources::CommonShortcuts() {
  if (Common < 0) Common = From->CommonShortcuts();
  return Common != 0;
}

// ReplaceAll that stops once the result holds limit characters, the result cut there; count, when
// given, is how many occurrences it replaced.
static std::string ReplaceUpTo(const std::string& Text, const std::string& OldPattern,
                               const std::string& NewPattern, size_t limit, size_t* count = nullptr) {
  if (count) *count = 0;
  if (OldPattern.empty()) return Text.substr(0, limit);
  std::string out;
  size_t from = 0;
  for (size_t at; out.size() < limit && (at = Text.find(OldPattern, from)) != std::string::npos;
       from = at + OldPattern.size()) {
    out.append(Text, from, at - from).append(NewPattern);
    if (count) ++*count;
  }
  if (out.size() < limit) out.append(Text, from, std::string::npos);
  if (out.size() > limit) out.resize(limit);
  return out;
}

std::string ReplaceAll(const std::string& Text, const std::string& OldPattern,
                       const std::string& NewPattern) {
  return ReplaceUpTo(Text, OldPattern, NewPattern, std::string::npos);
}

static std::string Trimmed(std::string s) {
  if (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

static const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Environment references "<%" name "%>": as long as the text holds a "<%" before its first "%>",
// the first reference is replaced everywhere by the variable's value, and the whole text, values
// and all, is searched again. A value that is its own reference changes nothing and ends the step
// at once; one that holds its reference among more (A = "a<%A%>"), or one that leads back to it
// (A = "<%B%>", B = "<%A%>"), would keep it going for ever. So it ends, as it does once the text has
// grown to kMaxExpanded characters, once the values put in add up to that many, or once its rounds,
// each a walk over the whole text, have walked 16 times that many.
static std::string ExpandEnvRefs(std::string s, TPlaceholderSources& src) {
  constexpr size_t kMaxWalked = 16 * kMaxExpanded;
  size_t inserted = 0, walked = 0;
  while (s.size() < kMaxExpanded && inserted < kMaxExpanded && walked < kMaxWalked) {
    const size_t a = s.find("<%"), e = s.find("%>");
    if (a == std::string::npos || e == std::string::npos || e < a) break;
    // In "<%>" the two overlap and the name is empty.
    const std::string name = e > a + 2 ? s.substr(a + 2, e - a - 2) : std::string();
    const std::string ref = s.substr(a, e + 2 - a), value = src.EnvVar(name);
    if (value == ref) break;
    size_t count = 0;
    walked += s.size();
    s = ReplaceUpTo(s, ref, value, kMaxExpanded, &count);
    inserted += count * value.size();
  }
  return s;
}

// The placeholders in the order they are replaced; PlaceholderValue(i) is the value of the i-th.
static const char* const kPlaceholders[] = {"<AppName>",      "<Version>",     "<Company>",   "<Website>",
                                            "<AnnounceName>", "<InstallRoot>", "<SystemRoot>", "<Uninstall>",
                                            "<UninstallFile>", "<ProgramFiles>", "<StartMenu>", "<Programs>",
                                            "<Startup>",      "<Desktop>",     "<SharedFiles>", "<QuickLaunch>"};

static std::string PlaceholderValue(size_t i, const TPlaceholderValues& v, TPlaceholderSources& src) {
  const TAppInfoRec& info = *v.AppInfo;
  // The folders of shortcuts: for all users (first) or for this one.
  static const int8_t kFolders[][2] = {{22, 11}, {23, 2}, {24, 7}, {25, 0}};
  switch (i) {
    case 0: return info.AppTitle.Str();
    case 1: return info.AppVersion.Str();
    case 2: return info.Company.Str();
    case 3: return info.Homepage.Str();
    case 4: return v.DisplayName;
    case 5: return v.DestDir;
    case 6: return src.EnvVar("WINDIR");
    case 7: return src.EnvVar("WINDIR") + "\\system32\\cv2uinst.exe";
    case 8: return v.DestDir + "\\cv2uinst.dat";
    case 9: return Trimmed(src.RegistryText(kHKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"));
    case 10:
    case 11:
    case 12:
    case 13: return Trimmed(src.SpecialFolder(kFolders[i - 10][src.CommonShortcuts() ? 0 : 1]));
    case 14: return Trimmed(src.RegistryText(kHKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir"));
    default: {
      std::string appData = src.CommonShortcuts()
                                ? src.RegistryText(kHKEY_LOCAL_MACHINE, kShellFolders, "Common AppData")
                                : src.RegistryText(kHKEY_CURRENT_USER, kShellFolders, "AppData");
      if (appData.empty() || appData.back() != '\\') appData += '\\';
      return appData + "Microsoft\\Internet Explorer\\Quick Launch";
    }
  }
}

std::string ExpandPlaceholders(const std::string& Template, const TPlaceholderValues& v,
                               TPlaceholderSources& src) {
  std::string S = Template;
  // A value is looked up only when its placeholder is there.
  for (size_t i = 0; i < std::size(kPlaceholders); ++i)
    if (S.find(kPlaceholders[i]) != std::string::npos)
      S = ReplaceUpTo(S, kPlaceholders[i], PlaceholderValue(i, v, src), kMaxExpanded);
  S = ExpandEnvRefs(S, src);
  if (S.size() > kMaxExpanded) S.resize(kMaxExpanded);
  if (S.find("\\\\") != std::string::npos) S = ReplaceAll(S, "\\\\", "\\");
  return S;
}

// ---- lists and the command line ----

uint64_t ListCharsScanned = 0;

// Each step is one pass. Step 1 works as the text is copied: whenever the copy ends in CR LF,
// the pair becomes Sep, which, when Sep is itself CR or LF, may complete another pair, replaced in
// turn. Every character is copied once and removed at most once, and the copy ends as replacing
// the first pair again and again until none is left would leave it.
std::string NormalizeList(const std::string& S, char Sep) {
  std::string t;
  t.reserve(S.size());
  for (char c : S) {
    t += c;
    while (t.size() >= 2 && t[t.size() - 2] == '\r' && t.back() == '\n') {
      t.resize(t.size() - 2);
      t += Sep;
    }
  }
  // Runs of Sep become one; those at the ends go; one Sep ends the list.
  std::string out;
  out.reserve(t.size() + 1);
  bool gap = false;
  for (char c : t) {
    if (c == Sep) {
      gap = true;
      continue;
    }
    if (gap && !out.empty()) out += Sep;
    gap = false;
    out += c;
  }
  ListCharsScanned += S.size() + t.size();
  return out += Sep;
}

int32_t CountListItems(const std::string& S, char Sep) {
  int32_t n = 0;
  for (char c : NormalizeList(S, Sep)) n += c == Sep;
  return n;
}

std::string GetListItem(const std::string& S, int32_t Index, char Sep) {
  const std::string N = NormalizeList(S, Sep);
  int32_t count = 0;
  for (char c : N) count += c == Sep;
  if (Index < 1 || Index > count) return {};
  size_t start = 0;
  for (int32_t k = 1; k < Index; ++k) start = N.find(Sep, start) + 1;
  return N.substr(start, N.find(Sep, start) - start);
}

TStringList SplitCommandLine(const char* p) {
  TStringList args;
  bool program = true;
  for (;;) {
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    if (!*p) break;
    std::string arg;
    while (static_cast<unsigned char>(*p) > ' ') {
      if (*p == '"') {
        ++p;
        while (*p && *p != '"') arg += *p++;
        if (*p) ++p;
      } else {
        arg += *p++;
      }
    }
    if (!program) args.push_back(std::move(arg));
    program = false;
  }
  return args;
}

TSetupCommandLine ParseSetupArgs(const TStringList& args) {
  TSetupCommandLine cl;
  for (const std::string& arg : args) {
    if (arg.size() == 2 && LowerAZ(arg) == "/u") {
      cl.Unattended = true;
    } else if (arg.starts_with("/d:")) {
      cl.HasDest = true;
      cl.Dest = arg.substr(3);
    } else if (arg.starts_with("/p:")) {
      // The items of the list, as GetListItem gives them one by one, from one normalised copy.
      cl.HasParts = true;
      const std::string list = NormalizeList(arg.substr(3), '|');
      for (size_t from = 0, at; (at = list.find('|', from)) != std::string::npos; from = at + 1)
        cl.Parts.push_back(list.substr(from, at - from));
      ListCharsScanned += list.size();
    }
  }
  return cl;
}

bool PartNamed(const TSetupCommandLine& cl, const std::string& caption) {
  const std::string c = LowerAZ(caption);
  for (const std::string& name : cl.Parts)
    if (name.size() == c.size() && LowerAZ(name) == c) return true;
  return false;
}

// ---- numbers and system checks ----

int32_t VersionNumber(uint32_t versionMS, uint32_t versionLS) {
  const std::string joined = std::to_string(versionMS >> 16) + std::to_string(versionMS & 0xFFFF) +
                             std::to_string(versionLS >> 16) + std::to_string(versionLS & 0xFFFF);
  uint64_t v = 0;
  for (char c : joined) {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 2147483647u) return 2147483647;
  }
  return static_cast<int32_t>(v);
}

bool OsAllowed(const TAppInfoRec& info, uint32_t platform, uint32_t major, uint32_t minor) {
  struct Row {
    uint32_t platform, major, minor;
    uint8_t TAppInfoRec::*flag;
  };
  static const Row rows[] = {
      {1, 4, 0, &TAppInfoRec::OsWin95},   {1, 4, 10, &TAppInfoRec::OsWin98},
      {1, 4, 90, &TAppInfoRec::OsWinME},  {2, 4, 0, &TAppInfoRec::OsWinNT4},
      {2, 5, 0, &TAppInfoRec::OsWin2000}, {2, 5, 1, &TAppInfoRec::OsWinXP},
      {2, 5, 2, &TAppInfoRec::OsWin2003},
  };
  if (platform != 1 && platform != 2) return false;
  for (const Row& r : rows)
    if (r.platform == platform && r.major == major && r.minor == minor && info.*r.flag != 0)
      return true;
  return info.OsNewer != 0;
}

bool DestDirFormValid(const std::string& path, int64_t (*freeBytes)(int drive)) {
  if (path.size() < 2) return false;
  const char letter = LowerAZ(path.substr(0, 1))[0];
  if (letter < 'a' || letter > 'z') return false;
  if (freeBytes(letter - 'a' + 1) <= 0) return false;
  if (path[1] != ':') return false;
  return path.size() == 2 || path[2] == '\\';
}
