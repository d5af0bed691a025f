#include "shared/win32files.h"

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& dir, std::string* failed) {
  std::string d = dir;
  while (!d.empty() && d.back() == '\\') d.pop_back();
  // Each folder on the way, from the first below the root (a drive, "\" or a network share).
  size_t from = 0;
  if (d.starts_with("\\\\")) {
    from = d.find('\\', 2);
    from = from == std::string::npos ? d.size() : d.find('\\', from + 1);
  }
  DWORD firstError = 0;
  for (size_t at = d.find('\\', from); !d.empty(); at = d.find('\\', at + 1)) {
    const std::string part = d.substr(0, at);
    if (!part.empty() && part.back() != ':' && !DirectoryExists(part) &&
        !CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        !firstError) {
      firstError = GetLastError();
      if (failed) *failed = part;
    }
    if (at == std::string::npos) break;
  }
  if (d.size() == 2 && d[1] == ':') d += '\\';  // a drive's root, not its current folder
  if (!d.empty() && DirectoryExists(d)) return true;
  if (firstError) {
    SetLastError(firstError);
  } else {
    if (failed) *failed = dir;
    if (d.empty()) SetLastError(ERROR_INVALID_NAME);
  }
  return false;
}
