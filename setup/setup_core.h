// The portable parts of the setup runtime: reading setup.dat, placeholder expansion over its
// sources, the "|"-separated lists and the command line, the version-number and integer rules.
// No windows.h here; the Windows parts (TInstaller, TMainForm) call these with the real sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setup/PointerList.h"
#include "shared/sharedtypes.h"

using TStringList = std::vector<std::string>;

// Only the letters A to Z are folded.
std::string LowerAZ(std::string s);

// ---- setup.dat ----

// A cursor over the bytes of a file; every read fails once the bytes are used up.
class TByteReader {
 public:
  TByteReader(const uint8_t* data, size_t size) : FData(data), FLeft(size) {}
  bool Read(void* dest, size_t n);
  bool ReadU8(uint8_t& v) { return Read(&v, 1); }
  bool ReadU16(uint16_t& v);
  bool ReadI32(int32_t& v);
  size_t Left() const { return FLeft; }

 private:
  const uint8_t* FData;
  size_t FLeft;
};

// The containers of setup.dat, each created as its section begins. Records are allocated one by
// one, only after their bytes have been found, so a count that runs past the end never
// allocates more than the file holds.
struct TSetupSections {
  TAppInfoRec* AppInfo;
  std::unique_ptr<TStringList>* Packages;
  std::unique_ptr<TLHPointerList>* RegValues;
  std::unique_ptr<TLHPointerList>* Shortcuts;
  std::unique_ptr<TStringList>* DllFiles;
  std::unique_ptr<TStringList>* PostInstallCommands;
  std::unique_ptr<TStringList>* PreUninstallCommands;
  std::unique_ptr<TLHPointerList>* Files;
};

// Reads the eight sections in their order. False when the bytes end before the counts are
// satisfied; the containers read so far are kept. Bytes after the last file record are ignored.
bool ReadSetupSections(TByteReader& r, const TSetupSections& s);

// A new list with its expiry timer switched off at once.
std::unique_ptr<TLHPointerList> NewRecordList();

// Frees the records of a list (each a block of type Rec), from the first to the last, then the
// list. The cursor walks it: a lookup by position would walk from the head for each record.
template <class Rec> void FreeRecordList(std::unique_ptr<TLHPointerList>& list) {
  if (!list) return;
  if (list->Count() > 0) {
    list->First();
    do delete static_cast<Rec*>(list->Current());
    while (list->Next());
  }
  list.reset();
}

// The display name by AnnounceMode; empty for a mode outside 0..3.
std::string BuildDisplayName(const TAppInfoRec& info);

// ---- placeholders ----

constexpr uint32_t kHKEY_CURRENT_USER = 0x80000001;
constexpr uint32_t kHKEY_LOCAL_MACHINE = 0x80000002;

// Where the expansion takes the machine's values from.
struct TPlaceholderSources {
  virtual std::string EnvVar(const std::string& name) = 0;  // empty when unset
  // A text value of a key opened without being created; empty when missing or not text.
  virtual std::string RegistryText(uint32_t root, const char* key, const char* value) = 0;
  virtual std::string SpecialFolder(int csidl) = 0;  // empty when it has no path
  virtual bool CommonShortcuts() = 0;                // "Make Shortcuts Visible To All Users"
};

// The sources of one installation: each value is asked of From the first time it is wanted and
// kept from then on, so that the records of a package cost one lookup for each value they name,
// not one each. Not for two threads at once.
class TCachedSources : public TPlaceholderSources {
 public:
  explicit TCachedSources(TPlaceholderSources& from) : From(&from) {}
  void Reset(TPlaceholderSources& from) {  // forgets what was kept
    From = &from;
    Values.clear();
    Common = -1;
  }
  std::string EnvVar(const std::string& name) override;
  std::string RegistryText(uint32_t root, const char* key, const char* value) override;
  std::string SpecialFolder(int csidl) override;
  bool CommonShortcuts() override;

 private:
  TPlaceholderSources* From;
  // Each value after its key: a letter for the kind of source, then what names the value there.
  // A run asks for a handful of values.
  std::vector<std::string> Values;
  int Common = -1;  // -1 until asked
  const std::string* Kept(const std::string& key) const;  // null when not asked yet
  std::string Keep(const std::string& key, const std::string& value);
};

struct TPlaceholderValues {
  const TAppInfoRec* AppInfo;
  std::string DisplayName;
  std::string DestDir;
};

std::string ReplaceAll(const std::string& Text, const std::string& OldPattern,
                       const std::string& NewPattern);
// Values may hold later tokens, so each step can multiply the text's length: a template of a few
// nested tokens would otherwise grow beyond any memory. No path, key or command that the setup
// uses is longer than the longest command line Windows runs; a longer expansion is cut here and
// then fails where it is used.
constexpr size_t kMaxExpanded = 32767;
std::string ExpandPlaceholders(const std::string& Template, const TPlaceholderValues& v,
                               TPlaceholderSources& src);

// ---- lists separated by one character, and the command line ----

// Each does work in proportion to the length of its text: ListCharsScanned grows by the
// characters that NormalizeList and ParseSetupArgs go over, for the tests of that bound.
std::string NormalizeList(const std::string& S, char Sep);
extern uint64_t ListCharsScanned;
int32_t CountListItems(const std::string& S, char Sep);
std::string GetListItem(const std::string& S, int32_t Index, char Sep);

// The arguments after the program's name: blanks (characters up to code 32) separate them, a
// stretch in double quotes may hold blanks, and the quotes themselves are dropped.
TStringList SplitCommandLine(const char* commandLine);

struct TSetupCommandLine {
  bool Unattended = false;
  bool HasDest = false;
  std::string Dest;              // the last "/d:" text
  bool HasParts = false;         // at least one "/p:"
  TStringList Parts;             // every name of every "/p:", in order
};
TSetupCommandLine ParseSetupArgs(const TStringList& args);

// Whether a component's caption is named in the "/p:" names (A to Z folded).
bool PartNamed(const TSetupCommandLine& cl, const std::string& caption);

// ---- numbers and system checks ----

// The four parts of a file version written in decimal and joined, read as one number; the
// number saturates at 2147483647.
int32_t VersionNumber(uint32_t versionMS, uint32_t versionLS);

// Whether the package's flags allow this Windows version (platform 1: 95/98/ME, 2: NT).
bool OsAllowed(const TAppInfoRec& info, uint32_t platform, uint32_t major, uint32_t minor);

// The form of a destination directory; freeBytes(drive) with drive 1 for A: .. 26 for Z:
// answers the bytes free there (0 or less for a drive that is missing or not ready).
bool DestDirFormValid(const std::string& path, int64_t (*freeBytes)(int drive));

// The runtime's pseudo-random generator: 32-bit linear congruential, seeded with 0.
class TRandom {
 public:
  uint32_t Next(uint32_t range) {  // 0 .. range-1
    FSeed = FSeed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(FSeed) * range) >> 32);
  }
  uint32_t FSeed = 0;
};
