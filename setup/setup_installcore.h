// The portable rules of the installation: the uninstall log, progress positions, registry value
// texts, the free-space decision, the shortcut kinds and the registration command line.
// No windows.h here; the Windows side (setup_install.cpp) calls these.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// How a run of setup.exe ends: the program's exit code, attended or unattended. The README lists
// them; scripts and extractor.exe rely on the numbers, so they never change.
enum TSetupExitCode : int {
  ecCompleted = 0,
  ecPackageDamaged = 1,      // setup.dat or data.pak missing, unreadable or damaged
  ecCancelled = 2,           // the user cancelled, before or during the installation
  ecUnsupportedWindows = 3,  // the package does not support this Windows version
  ecInvalidDestination = 4,  // an unattended run's destination is not valid
  ecDiskSpace = 5,           // too little free space, found before or during the installation
  ecInstallError = 6,        // any other error while installing
  ecNoTempDir = 7,           // no temporary directory for the uninstaller could be made
};

// An error of one install step. Its text names the item and the reason; the worker stops there
// and shows it on the error page. ExitCode says which kind of failure it is.
// It keeps its own text: std::runtime_error's would bring the library's second string type into
// setup.exe (about 80 KB).
class EInstallError : public std::exception {
 public:
  explicit EInstallError(std::string message, TSetupExitCode exitCode = ecInstallError)
      : Message(std::move(message)), Code(exitCode) {}
  const char* what() const noexcept override { return Message.c_str(); }
  TSetupExitCode ExitCode() const noexcept { return Code; }

 private:
  std::string Message;
  TSetupExitCode Code;
};

// The reason a failed run gives when the disk is (or became) too full.
inline constexpr const char* DiskSpaceText = "Insufficient free disk space to perform the installation.";

// ---- the uninstall log cv2uinst.dat ----

inline constexpr const char* TagCreateDir = "CreateDir::";
inline constexpr const char* TagCreateFile = "CreateFile::";
inline constexpr const char* TagCreateRegKey = "CreateRegKey::";
inline constexpr const char* TagCreateRegValue = "CreateRegValue::";
inline constexpr const char* TagRegisterDLL = "RegisterDLL::";
inline constexpr const char* TagExec = "Exec::";

inline constexpr const char* UninstallLogName = "cv2uinst.dat";

// One log line: the tag, the text, CR LF.
std::string LogLine(std::string_view tag, std::string_view text);

// The pre-uninstall commands are logged from the last to the first.
std::vector<std::string> ExecLogOrder(const std::vector<std::string>& commands);

// The parts one after the other. The messages that name a file and a reason are built with it:
// one call, where a chain of + makes a temporary, and code to free it, for every part.
std::string Concat(std::initializer_list<std::string_view> parts);

// ---- paths ----

// The directory part with its trailing backslash (up to and including the last "\" or ":"),
// or empty.
std::string ExtractFilePath(std::string_view path);
// The part after the last "\" or ":".
std::string ExtractFileName(std::string_view path);
// The text with a trailing backslash appended when it has none (an empty text gets one too).
std::string WithTrailingBackslash(std::string_view path);

// ---- progress ----

// i / n x span + base, in floating point, rounded to the nearest integer, an exact half to the
// even neighbour. n = 0 gives base.
int ProgressPosition(int i, int n, int span, int base);

// ---- the free-space check ----

// Folds A..Z only.
char LowerAscii(char c);
// The drive number (a = 1 .. z = 26) named by the first character of a path, 0 when none.
int DriveNumber(std::string_view path);
// Whether a file's expanded destination counts on the drive of the destination root: the first
// characters, lower-cased, are equal. An empty destination matches nothing.
bool SameDrive(std::string_view expandedDest, std::string_view destDir);
// The check passes only when the free space (-1 for no drive) is strictly greater than the sum.
bool FreeSpaceSufficient(int64_t freeBytes, uint64_t needed);

// ---- registry ----

// The name of a predefined root key as the log writes it; empty for any other value.
const char* RootKeyName(uint32_t rootKey);

// The log texts of a registry key and of a value under it.
std::string RegKeyText(uint32_t rootKey, std::string_view key);
std::string RegValueText(uint32_t rootKey, std::string_view key, std::string_view name);

inline constexpr const char* UninstallKeyPrefix = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr const char* UninstallCommandTemplate = "<Uninstall> \"<UninstallFile>\"";

// The integer parse of value texts: decimal digits with an optional sign within the signed 32-bit
// range, or "$" and 1..8 hexadecimal digits taken as a 32-bit pattern. False for anything else.
bool ParseInteger(std::string_view text, int32_t& value);

// A decimal floating-point number with the given decimal separator: optional blanks, an optional
// sign, digits with at most one separator (at least one digit), an optional exponent, optional
// blanks. The value is the nearest double (a tie to the even one), 0 below the smallest; false for
// anything else, and for a value beyond the double's range.
bool ParseFloat(std::string_view text, char decimalSeparator, double& value);

// The bytes of a "Binary Data" value. A text beginning "hex:" is the registry export's notation:
// comma-separated two-digit hexadecimal bytes (either case), "hex:" alone being no bytes; any
// other text gives its own characters. False for malformed hex after "hex:".
bool BinaryValueBytes(std::string_view text, std::string& bytes);

// The value as it goes into the registry, decided from the record's type and its text (the text of
// a string value already expanded).
struct TRegData {
  enum TKind { None, DWord, Binary, String };
  TKind Kind = None;
  uint32_t Number = 0;  // DWord
  std::string Bytes;    // Binary: the bytes; String: the text
};
// Raises EInstallError when the text is no number of its type; the message says why.
TRegData ConvertRegValue(uint8_t valueType, const std::string& text, char decimalSeparator);

// ---- shortcuts ----

// Whether a shortcut in the stored, unexpanded location is wanted, given which of the three
// component-list items exist and are checked.
bool ShortcutWanted(std::string_view location, bool startMenuChecked, bool desktopChecked,
                    bool quickLaunchChecked);

inline constexpr const char* ItemStartMenu = "Add Shortcuts to Start Menu";
inline constexpr const char* ItemDesktop = "Add Shortcuts to Desktop";
inline constexpr const char* ItemQuickLaunch = "Add Shortcuts to Quick Launch Bar";

// ---- registrations ----

// "regsvr32.exe /s " and the path in double quotes.
std::string RegisterCommand(std::string_view expandedPath);
