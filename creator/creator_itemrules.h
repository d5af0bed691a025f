// The rules of the creator's item dialogs that need no window: how their fields are normalised,
// which destinations they offer, when they refuse OK, and the rows they append to the wizard.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace items {

// One row of a report-style list: the caption first, then the sub-items.
using Row = std::vector<std::string>;

// The three refusals. Only the first two are preceded by a beep.
inline constexpr const char* kFormDataMissing = "Form Data missing!";  // registry, beep
inline constexpr const char* kInvalidEntries = "Invalid entries!";     // shortcut, beep
inline constexpr const char* kNoFileSelected = "No File Selected!";    // DLL, no beep

inline constexpr const char* kUninstall = "<Uninstall>";
inline constexpr const char* kUninstallFile = "<UninstallFile>";
inline constexpr const char* kRequiredFiles = "Required Files";

// Folds only the letters A to Z to lower case; every other byte stays as it is.
std::string LowerAZ(std::string_view s);
bool SameTextAZ(std::string_view a, std::string_view b);

// Add-file dialog.
// The destination folder as OK uses it: a backslash appended unless there is one ("" gives "\").
std::string DestinationFolder(std::string_view folder);
// The text after the last backslash or colon (the whole text when it has neither).
std::string FileNamePart(std::string_view path);
// The FileList row of one collected source: destination, source, package (unchanged).
Row FileEntryRow(std::string_view destFolder, std::string_view source, std::string_view package);
// Whether PackageList lacks the name (compared with A to Z folded): OK then appends it as typed.
bool IsNewPackage(const std::vector<std::string>& packages, std::string_view name);

// Registry dialog.
bool RegistryFormComplete(std::string_view path, std::string_view value);
// Cuts one leading backslash and makes the path end in one; "" and "\" both give "\".
std::string NormaliseRegistryPath(std::string_view path);
Row RegistryEntryRow(std::string_view root, std::string_view normalisedPath, std::string_view key,
                     std::string_view value, std::string_view type);

// Shortcut and DLL dialogs: the choices built from the captions (destinations) of FileList.
// The extension runs from the last dot when no backslash or colon follows it, folded to lower
// case; otherwise there is none ("").
std::string ExtensionOf(std::string_view destination);
std::vector<std::string> ShortcutTargets(const std::vector<std::string>& destinations);
std::vector<std::string> ShortcutIcons(const std::vector<std::string>& destinations);
std::vector<std::string> DllChoices(const std::vector<std::string>& destinations);

bool ShortcutEntriesValid(bool targetChosen, std::string_view location, std::string_view caption);
// Location, Caption, Target, Parameters, Icon, "#": the icon columns only when useIcon is set,
// otherwise "" and "0".
Row ShortcutEntryRow(std::string_view location, std::string_view caption, std::string_view target,
                     std::string_view parameters, bool useIcon, std::string_view icon, int iconIndex);

// The About box's font rule: Tahoma from Windows 98 on (4.1 and above, and 5 and later),
// MS Sans Serif on Windows 95 and NT 4.0 (4.0).
bool UsesTahoma(unsigned major, unsigned minor);

}  // namespace items
