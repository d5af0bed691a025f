// setup.dat as the build writes it: the project as the build reads it from the wizard, the
// records filled from it, the sections encoded byte for byte, and the checks that refuse a project
// setup.dat cannot carry. Portable: the build thread reads the controls and writes the bytes.
#pragma once

#include "shared/sharedtypes.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A failure of the build: the text goes into the report after "ERROR: ".
class EBuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A name or a value as the build's messages give it: in single quotes.
std::string Quoted(std::string_view text);

// The setup project as the build reads it from the wizard's controls.
struct BuildProject {
  // The header's sources.
  struct AppInfo {
    std::string AppTitle, AppVersion, Company, Homepage;  // EAppTitle, EVersion, ECompany, EHomepage
    bool RadioButton3 = true, RadioButton4 = false, RadioButton6 = false, RadioButton5 = false;
    bool NeedsReboot = false;  // CheckBox8
    // CheckBox1..7 and CheckBox15 in the record's order: 95, 98, ME, NT 4.0, 2000, XP, 2003, newer.
    bool Os[8] = {true, true, true, true, true, true, true, true};
    std::string DefaultDestDir = "<ProgramFiles>\\<AppName>";  // Edit1
    bool LicenseMustAccept = false;                           // CheckBox14
    bool CompressData = false;                                // CheckBox16
    bool Unattended = false;                                  // CheckBox12
  };
  struct RegistryRow {  // a row of Registry
    std::string Path, Key, Value, Type;
  };
  struct ShortcutRow {  // a row of ShortCuts
    std::string Location, Caption, Target, Parameters, Icon, IconIndex;
  };
  struct FileRow {  // a row of FileList
    std::string Destination, Source, Package;
  };

  AppInfo Info;
  std::string LicenseFile;            // Edit5, shipped as license.rtf when Info.LicenseMustAccept
  std::vector<std::string> Packages;  // PackageList
  std::vector<RegistryRow> Registry;
  std::vector<ShortcutRow> Shortcuts;
  std::vector<std::string> DllList, PIList, PUIList;
  std::vector<FileRow> Files;
};

// --- Paths --------------------------------------------------------------------------------------

// The part after the last "\" or ":", and the part up to and including it ("" when there is none).
std::string_view FileNamePart(std::string_view path);
std::string_view DirectoryPart(std::string_view path);
// dir with "\" appended unless it already ends with one ("" stays "").
std::string WithBackslash(std::string_view dir);
// The output base directory: the output directory, "\", the title, "\" (never a doubled "\").
std::string BaseDirectory(std::string_view outputDir, std::string_view title);
// Why a title cannot name the output folder, the datasheet copy and the package ("" when it can).
std::string TitleProblem(std::string_view title);

// --- Records ------------------------------------------------------------------------------------

// True when a shortcut's Location holds the kind's tag: 1 start menu ("<Programs>", "<StartMenu>",
// "<Startup>"), 2 Quick Launch ("<QuickLaunch>"), 3 desktop ("<Desktop>"); case matters.
bool HasShortcutKind(const std::vector<BuildProject::ShortcutRow>& shortcuts, uint8_t kind);

std::optional<uint32_t> RootKeyOf(std::string_view rootText);  // names folded A-Z only
std::optional<uint8_t> ValueTypeOf(std::string_view typeText);  // exact
// An integer as the wizard writes one: optional sign, decimal digits, or "$"/"0x" and hex digits;
// it must fit 32 bits.
std::optional<int32_t> ParseInteger(std::string_view text);

TAppInfoRec MakeAppInfo(const BuildProject::AppInfo& info,
                        const std::vector<BuildProject::ShortcutRow>& shortcuts,
                        int32_t uninstallerSize);
// An unknown root or type is stored as 0 (CheckProject refuses such rows beforehand).
TRegValueRec MakeRegValue(const BuildProject::RegistryRow& row);
// Throws EBuildError when the row has an icon and its index is no integer.
TShortcutRec MakeShortcut(const BuildProject::ShortcutRow& row);

// --- Sections -----------------------------------------------------------------------------------

using Bytes = std::vector<uint8_t>;

template <class Rec> void AppendRecord(Bytes& out, const Rec& rec) {
  const auto* p = reinterpret_cast<const uint8_t*>(&rec);
  out.insert(out.end(), p, p + sizeof rec);
}
void AppendShortString(Bytes& out, std::string_view text);

// Section 2: 8-bit count, the names.
void AppendPackageList(Bytes& out, const std::vector<std::string>& packages);
// Section 3: 16-bit count, the records.
void AppendRegistryList(Bytes& out, const std::vector<BuildProject::RegistryRow>& rows);
// Section 4: 8-bit count, the records.
void AppendShortcutList(Bytes& out, const std::vector<BuildProject::ShortcutRow>& rows);
// Section 5: 16-bit count, the paths.
void AppendDllList(Bytes& out, const std::vector<std::string>& dlls);
// Sections 6 and 7: 8-bit count and lines each.
void AppendCommandLists(Bytes& out, const std::vector<std::string>& post,
                        const std::vector<std::string>& preUninstall);

// --- Refusals -----------------------------------------------------------------------------------

// Everything in the project that setup.dat cannot carry, one text per problem, in list order: a
// list longer than its count field, a registry row with an unknown root or type, a binary "hex:"
// row whose texts would be cut, a shortcut icon index that is no integer.
std::vector<std::string> CheckProject(const BuildProject& project);

// data.pak addresses its bytes with signed 32-bit positions counted from 1, so the whole package
// and every file in it stay below 2 GiB.
constexpr int64_t MaxDataPakSize = INT32_MAX - 1;
