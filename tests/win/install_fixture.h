// Small setup packages for the installation tests: setup.dat from the shared records and data.pak
// with the uninstaller's bytes and the files, raw or as LZH blocks.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/lzh.h"
#include "shared/sharedtypes.h"

namespace fixture {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The directory of the running test program, with its trailing backslash.
inline std::string ProgramDir() {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  std::string s(buf, n);
  return s.substr(0, s.find_last_of('\\') + 1);
}

inline TRegValueRec Reg(uint32_t root, const std::string& key, const std::string& name,
                        const std::string& data, uint8_t type) {
  TRegValueRec r;
  ClearRec(r);
  r.RootKey = root;
  r.KeyPath.Set(key);
  r.ValueName.Set(name);
  r.ValueData.Set(data);
  r.ValueType = type;
  return r;
}

inline TShortcutRec Link(const std::string& location, const std::string& target,
                         const std::string& caption, const std::string& parameters = "",
                         bool hasIcon = false, const std::string& iconFile = "",
                         uint16_t iconIndex = 0) {
  TShortcutRec r;
  ClearRec(r);
  r.Location.Set(location);
  r.Target.Set(target);
  r.ShortcutCaption.Set(caption);
  r.Parameters.Set(parameters);
  r.HasIcon = hasIcon;
  r.IconFile.Set(iconFile);
  r.IconIndex = iconIndex;
  return r;
}

struct TFile {
  std::string Dest, Package, Bytes;
  int32_t OriginalSize = -1;  // -1: the size of Bytes
  int32_t StoredSize = -1;    // -1: the size of the stored bytes
};

struct TPackage {
  TAppInfoRec AppInfo;
  std::vector<std::string> Packages{"Required Files"};
  std::vector<TRegValueRec> RegValues;
  std::vector<TShortcutRec> Shortcuts;
  std::vector<std::string> Dlls, PostInstall, PreUninstall;
  std::vector<TFile> Files;
  std::string Uninstaller = "MZ uninstaller";
  int32_t CutPak = 0;  // bytes cut off the end of data.pak

  explicit TPackage(const std::string& title) {
    ClearRec(AppInfo);
    AppInfo.AppTitle.Set(title);
    AppInfo.AppVersion.Set("1.0");
    AppInfo.Company.Set("Fixture Works");
    AppInfo.AnnounceMode = 2;
    AppInfo.DefaultDestDir.Set("<ProgramFiles>\\<AppName>");
    for (uint8_t* os = &AppInfo.OsWin95; os <= &AppInfo.OsNewer; ++os) *os = 1;
  }

  // Writes setup.dat and data.pak into dir (ending in a backslash).
  void Write(const std::string& dir) {
    std::string dat(reinterpret_cast<const char*>(&AppInfo), sizeof AppInfo);
    auto shortString = [&dat](const std::string& s) {
      ShortString ss;
      ss.Set(s);
      dat.append(reinterpret_cast<const char*>(&ss), sizeof ss);
    };
    auto u8 = [&dat](size_t n) { dat += static_cast<char>(n); };
    auto u16 = [&dat](size_t n) { dat += static_cast<char>(n & 0xFF); dat += static_cast<char>(n >> 8); };
    u8(Packages.size());
    for (auto& p : Packages) shortString(p);
    u16(RegValues.size());
    for (auto& r : RegValues) dat.append(reinterpret_cast<const char*>(&r), sizeof r);
    u8(Shortcuts.size());
    for (auto& s : Shortcuts) dat.append(reinterpret_cast<const char*>(&s), sizeof s);
    u16(Dlls.size());
    for (auto& d : Dlls) shortString(d);
    u8(PostInstall.size());
    for (auto& c : PostInstall) shortString(c);
    u8(PreUninstall.size());
    for (auto& c : PreUninstall) shortString(c);
    int32_t count = static_cast<int32_t>(Files.size());
    dat.append(reinterpret_cast<const char*>(&count), 4);

    std::string pak = Uninstaller;
    AppInfo.UninstallerSize = static_cast<int32_t>(Uninstaller.size());
    std::memcpy(&dat[offsetof(TAppInfoRec, UninstallerSize)], &AppInfo.UninstallerSize, 4);
    for (auto& f : Files) {
      std::string stored = f.Bytes;
      if (AppInfo.CompressData) {
        TMemoryStream out;
        TCustom_lzh lzh;
        lzh.InBuffer = reinterpret_cast<const uint8_t*>(f.Bytes.data());
        lzh.InSize = static_cast<int32_t>(f.Bytes.size());
        lzh.OutStream = &out;
        lzh.Compress();
        stored.assign(out.begin(), out.end());
      }
      TPackedFileRec rec;
      ClearRec(rec);
      rec.DestPath.Set(f.Dest);
      rec.PackageName.Set(f.Package);
      rec.DataOffset = static_cast<int32_t>(pak.size()) + 1;
      rec.StoredSize = f.StoredSize >= 0 ? f.StoredSize : static_cast<int32_t>(stored.size());
      rec.OriginalSize = f.OriginalSize >= 0 ? f.OriginalSize : static_cast<int32_t>(f.Bytes.size());
      dat.append(reinterpret_cast<const char*>(&rec), sizeof rec);
      pak += stored;
    }
    pak.resize(pak.size() - static_cast<size_t>(CutPak));
    WriteFile(dir + "setup.dat", dat);
    WriteFile(dir + "data.pak", pak);
  }
};

}  // namespace fixture
