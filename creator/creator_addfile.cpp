#include "creator/creator_addfile.h"

#include <windows.h>

void ScanFolder(std::string folder, bool subfolders, const std::function<void(const std::string&)>& add,
                const std::function<void()>& pump) {
  if (pump) pump();
  if (folder.empty() || folder.back() != '\\') folder += '\\';  // a drive root has its own
  WIN32_FIND_DATAA entry;
  HANDLE list = FindFirstFileA((folder + "*.*").c_str(), &entry);
  if (list == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + name;
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) continue;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
      add(path);
    else if (subfolders)
      ScanFolder(path + '\\', true, add, pump);
  } while (FindNextFileA(list, &entry));
  FindClose(list);
}

TAddFileFrm* AddFileFrm = nullptr;
