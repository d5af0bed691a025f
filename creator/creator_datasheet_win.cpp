// The Windows side of the datasheet: the file written whole, and its sections read through the
// profile service.
#include <windows.h>

#include "creator/creator_datasheet.h"
#include "shared/win32files.h"

namespace datasheet {

void SaveFile(const std::string& path, const TDatasheet& d) {
  const std::string text = FileText(Entries(d));
  DeleteFileA(path.c_str());  // a read-only or hidden file in the way goes first, if it can
  if (WriteWholeFile(path, text.data(), text.size(), CREATE_ALWAYS) != TWriteResult::Written)
    throw EDatasheetError("Unable to write to " + path);
}

namespace {

class TProfileReader : public TReader {
public:
  explicit TProfileReader(std::string file) : File(std::move(file)) {
    // No section comes back longer than the file and two NULs: one call each.
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (GetFileAttributesExA(File.c_str(), GetFileExInfoStandard, &a) && !a.nFileSizeHigh &&
        a.nFileSizeLow < 0x3FFFFFF0)
      Size = a.nFileSizeLow + 2 < 64 ? 64 : a.nFileSizeLow + 2;
  }
  // A section that does not fit comes back as size - 2 characters: the buffer grows and it is
  // asked for again.
  std::string Section(const std::string& name) override {
    for (DWORD size = Size;; size *= 2) {
      std::string buf(size, '\0');
      DWORD n = GetPrivateProfileSectionA(name.c_str(), buf.data(), size, File.c_str());
      if (n < size - 2 || size >= 0x40000000) {
        buf.resize(n);
        return buf;
      }
    }
  }

private:
  std::string File;
  DWORD Size = 64;
};

// The profile service takes a bare file name from the Windows folder.
std::string FullPath(const std::string& path) {
  char buf[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
  return n && n < sizeof buf ? std::string(buf, n) : path;
}

}  // namespace

TDatasheet LoadFile(const std::string& path) {
  TProfileReader reader(FullPath(path));
  return Read(reader);
}

}  // namespace datasheet
