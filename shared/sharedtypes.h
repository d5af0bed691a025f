// The records of setup.dat, shared by the creator (which writes them) and the setup runtime (which
// reads them). Each record lies in the file exactly as it lies in memory here: natural alignment,
// padding written as zero, integers little-endian. The layouts are fixed byte for byte; the
// static_asserts below keep them so on every target.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little, "setup.dat is little-endian");

// A text field of exactly 256 bytes: the length (0..255), then the characters (ANSI code page),
// then zeros. Longer text is cut to its first 255 characters.
struct ShortString {
  uint8_t Len;
  char Chars[255];

  void Set(std::string_view text) {
    std::memset(this, 0, sizeof *this);
    Len = static_cast<uint8_t>(text.size() < 255 ? text.size() : 255);
    std::memcpy(Chars, text.data(), Len);
  }
  std::string Str() const { return std::string(Chars, Len); }
};

// The header, 1308 bytes.
struct TAppInfoRec {
  ShortString AppTitle;
  ShortString AppVersion;
  ShortString Company;
  ShortString Homepage;
  uint8_t AnnounceMode;  // 0 company, title, version; 1 company, title; 2 title; 3 title, version
  uint8_t NeedsReboot;
  uint8_t OsWin95, OsWin98, OsWinME, OsWinNT4, OsWin2000, OsWinXP, OsWin2003, OsNewer;
  uint8_t HasDesktopShortcut;
  uint8_t HasStartMenuShortcut;
  uint8_t HasQuickLaunchShortcut;
  ShortString DefaultDestDir;
  uint8_t Reserved1;
  uint8_t LicenseMustAccept;
  uint8_t CompressData;
  int32_t Reserved2;
  int32_t UninstallerSize;
  uint8_t Unattended;
  uint8_t Pad1[3];
};

// One registry value, 776 bytes.
struct TRegValueRec {
  uint32_t RootKey;  // 0x80000000 + 0 CLASSES_ROOT, 1 CURRENT_USER, 2 LOCAL_MACHINE, 3 USERS, 5 CURRENT_CONFIG
  ShortString KeyPath;
  ShortString ValueName;
  ShortString ValueData;
  uint8_t ValueType;  // 0 "Binary Data", 1 "Boolean", 2 "Float", 3 "Integer", 4 "String"
  uint8_t Pad[3];
};

// One shortcut, 1284 bytes. The target comes before the caption.
struct TShortcutRec {
  ShortString Location;
  ShortString Target;
  ShortString ShortcutCaption;
  ShortString Parameters;
  uint8_t HasIcon;
  ShortString IconFile;
  uint8_t Pad;
  uint16_t IconIndex;
};

// One installed file, 524 bytes.
struct TPackedFileRec {
  ShortString DestPath;
  ShortString PackageName;
  int32_t DataOffset;    // position of the first stored byte in data.pak, counted from 1
  int32_t StoredSize;    // bytes stored in data.pak
  int32_t OriginalSize;  // size of the source file
};

static_assert(sizeof(ShortString) == 256);

static_assert(sizeof(TAppInfoRec) == 1308);
static_assert(offsetof(TAppInfoRec, AppVersion) == 256);
static_assert(offsetof(TAppInfoRec, Company) == 512);
static_assert(offsetof(TAppInfoRec, Homepage) == 768);
static_assert(offsetof(TAppInfoRec, AnnounceMode) == 1024);
static_assert(offsetof(TAppInfoRec, NeedsReboot) == 1025);
static_assert(offsetof(TAppInfoRec, OsWin95) == 1026);
static_assert(offsetof(TAppInfoRec, OsNewer) == 1033);
static_assert(offsetof(TAppInfoRec, HasDesktopShortcut) == 1034);
static_assert(offsetof(TAppInfoRec, HasStartMenuShortcut) == 1035);
static_assert(offsetof(TAppInfoRec, HasQuickLaunchShortcut) == 1036);
static_assert(offsetof(TAppInfoRec, DefaultDestDir) == 1037);
static_assert(offsetof(TAppInfoRec, Reserved1) == 1293);
static_assert(offsetof(TAppInfoRec, LicenseMustAccept) == 1294);
static_assert(offsetof(TAppInfoRec, CompressData) == 1295);
static_assert(offsetof(TAppInfoRec, Reserved2) == 1296);
static_assert(offsetof(TAppInfoRec, UninstallerSize) == 1300);
static_assert(offsetof(TAppInfoRec, Unattended) == 1304);

static_assert(sizeof(TRegValueRec) == 776);
static_assert(offsetof(TRegValueRec, KeyPath) == 4);
static_assert(offsetof(TRegValueRec, ValueName) == 260);
static_assert(offsetof(TRegValueRec, ValueData) == 516);
static_assert(offsetof(TRegValueRec, ValueType) == 772);

static_assert(sizeof(TShortcutRec) == 1284);
static_assert(offsetof(TShortcutRec, Target) == 256);
static_assert(offsetof(TShortcutRec, ShortcutCaption) == 512);
static_assert(offsetof(TShortcutRec, Parameters) == 768);
static_assert(offsetof(TShortcutRec, HasIcon) == 1024);
static_assert(offsetof(TShortcutRec, IconFile) == 1025);
static_assert(offsetof(TShortcutRec, IconIndex) == 1282);

static_assert(sizeof(TPackedFileRec) == 524);
static_assert(offsetof(TPackedFileRec, PackageName) == 256);
static_assert(offsetof(TPackedFileRec, DataOffset) == 512);
static_assert(offsetof(TPackedFileRec, StoredSize) == 516);
static_assert(offsetof(TPackedFileRec, OriginalSize) == 520);

// Every record is filled from all-zero bytes, so padding is always written as zero.
template <class Rec> inline void ClearRec(Rec& rec) { std::memset(&rec, 0, sizeof rec); }
