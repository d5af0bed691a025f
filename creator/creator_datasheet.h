// The Setup Datasheet in plain terms: the project's values (TDatasheet), the ordered list of
// keys that saving writes, and the rules that loading applies to what the profile service
// returns. The window side (TForm1::SaveDatasheet, TForm1::LoadDatasheet) moves values between
// the wizard's controls and a TDatasheet and talks to the profile service.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datasheet {

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

// What loading needs of the profile service.
class TReader {
public:
  virtual ~TReader() = default;
  // The value with one enclosing pair of quotes removed; nullopt when the key is missing.
  virtual std::optional<std::string> Value(const std::string& section, const std::string& key) = 0;
  // The key names of a section, in file order.
  virtual std::vector<std::string> Keys(const std::string& section) = 0;
};

// Reads every setting and list; a missing key yields its default.
TDatasheet Read(TReader& r);

// A Boolean or integer value: decimal, or hexadecimal after "$", "0x" or "0X", optionally
// signed, fitting 32 bits; false when the text is no such number.
bool ParseInteger(const std::string& s, int32_t& value);

std::string Quoted(const std::string& s);  // the string form: "text"

}  // namespace datasheet
