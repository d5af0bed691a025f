// The Setup Datasheet in plain terms: the project's values (TDatasheet), the ordered list of
// keys that saving writes and the file they make, and the rules that loading applies to what the
// profile service returns. The window side (TForm1::SaveDatasheet, TForm1::LoadDatasheet) moves
// values between the wizard's controls and a TDatasheet; SaveFile and LoadFile meet the system.
//
// Both take time in proportion to the file: the file is written whole in one go, and loading asks
// the profile service for each section once and looks its keys up in an index of its own (the
// service walks the whole file for every key it is asked for, and writes the whole file again for
// every key it is given).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace datasheet {

// A datasheet that could not be written: the message names the file.
class EDatasheetError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TDatasheet {
  // APPINFO
  std::string Name, Version, Company, Homepage;
  bool ShowLicense = false;
  std::string LicenseFile;
  bool Reboot = false;
  std::string Destination, PackageDest;
  // ANNOUNCEMENT
  bool CAV = false, CA = false, A = false, AV = false;
  // BUILD
  bool Web = false, CDDVD = false, Compression = false;
  // COMPATIBILITY: All, Custom, then the eight systems in the order of kSystemKeys
  bool All = true, Custom = true;
  std::array<bool, 8> Systems{true, true, true, true, true, true, true, true};
  // the lists, one row of texts per entry, in the order of their columns
  std::vector<std::array<std::string, 3>> Files;      // Destination, Source, Package
  std::vector<std::array<std::string, 4>> Registry;   // Path, Key, Value, Type
  std::vector<std::array<std::string, 6>> Shortcuts;  // Location, Caption, Target, Parameters, Icon, IconIndex
  std::vector<std::string> Dlls, PostInstall, PreUninstall, Packages;
  bool operator==(const TDatasheet&) const = default;
};

inline constexpr const char* kSystemKeys[8] = {"Win95",   "Win98", "WinME",   "WinNT4",
                                               "Win2000", "WinXP", "Unknown", "WinNET2003"};

struct TEntry {
  std::string Section, Key, Value;
  bool operator==(const TEntry&) const = default;
};

// The keys of a datasheet in the order the file holds them, each value in its written form.
std::vector<TEntry> Entries(const TDatasheet& d);

// The file that the profile service makes of these entries written one at a time into a new
// file: the sections in the order of their first keys, each a line "[name]" and then a line
// key=value for each of its keys in the order they came, every line ended by CR LF. Section and
// key names compare without regard to case; a key written again keeps its first place and name
// and takes the new value. Values go as they are (the service would drop blanks at the start of
// one, and no value of Entries has any: each begins with a quote or a digit).
std::string FileText(const std::vector<TEntry>& entries);

// One section as loading reads it, from the section whole as the profile service returns it
// (GetPrivateProfileSectionA): its lines, each ended by a NUL. The answers are those that the
// service gives when asked one key at a time (GetPrivateProfileStringA), and the rules that make
// them so are these, since the section comes as the file's lines:
//  - blanks (tab, line feed, vertical tab, form feed, carriage return, space, and the DOS end of
//    file 1A) around a line, around its name and around its value do not count;
//  - an empty line, and a comment (a line whose first character is ";"), holds no key (asked
//    for one at a time, a name that begins with ";" finds its line, but loading asks for none);
//  - a line without "=" is a key without a value: the key list leaves it out, and asked for, it
//    gives the default;
//  - of keys with the same name the first is the one that answers, with or without a value, and
//    any of them with a value puts the name on the key list;
//  - the answer is the value with one enclosing pair of quotes removed, double or single: the
//    first and last characters of a value of two or more characters, when they are the same
//    quote character.
// Names compare without regard to case (the letters A to Z). The one difference: a NUL byte in a
// line ends it where it stands, and blanks before it stay in a value asked for by itself.
class TSection {
public:
  explicit TSection(const std::string& lines);
  // On the key list: some key of this name has a value.
  bool Has(const std::string& key) const;
  // The value of the first key of this name; nullopt when there is none or it has no value.
  std::optional<std::string> Value(const std::string& key) const;

private:
  struct TKey {
    bool Listed = false;
    std::optional<std::string> Value;
  };
  std::unordered_map<std::string, TKey> Keys;  // by the name in lower case
};

// What loading needs of the profile service.
class TReader {
public:
  virtual ~TReader() = default;
  // The section's lines as the profile service returns them whole, each ended by a NUL; empty
  // when the file has no such section.
  virtual std::string Section(const std::string& name) = 0;
};

// Reads every setting and list, asking for each section once; a missing key yields its default.
TDatasheet Read(TReader& r);

// A Boolean or integer value: decimal, or hexadecimal after "$", "0x" or "0X", optionally
// signed, fitting 32 bits; false when the text is no such number.
bool ParseInteger(const std::string& s, int32_t& value);

std::string Quoted(const std::string& s);  // the string form: "text"

// Windows only (creator_datasheet_win.cpp). SaveFile writes d as a new file at path, replacing one
// there, and throws EDatasheetError "Unable to write to " + path when it cannot; it touches no
// window, so the build thread writes its copy itself. LoadFile reads the datasheet at path
// through the profile service, one call per section.
void SaveFile(const std::string& path, const TDatasheet& d);
TDatasheet LoadFile(const std::string& path);

}  // namespace datasheet
