#include "shared/win32files.h"

BOOL SystemWriteBytes(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}

TWriteResult WriteWholeFile(const std::string& path, const void* data, size_t size, DWORD disposition,
                            TWriteBytes write) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return TWriteResult::NotCreated;
  // In pieces of at most 16 MiB: older systems refuse larger single writes.
  const auto* p = static_cast<const char*>(data);
  bool ok = true;
  DWORD code = 0;
  while (ok && size > 0) {
    const DWORD piece = size < (1u << 24) ? static_cast<DWORD>(size) : (1u << 24);
    DWORD written = 0;
    SetLastError(ERROR_SUCCESS);
    if (!write(f, p, piece, &written) || written != piece) {
      ok = false;
      code = GetLastError();
      if (code == ERROR_SUCCESS && written < piece) code = ERROR_DISK_FULL;
    }
    p += written;
    size -= written;
  }
  // Closing flushes what the system still holds, so its failure is a write error too.
  if (!CloseHandle(f) && ok) {
    ok = false;
    code = GetLastError();
  }
  if (ok) return TWriteResult::Written;
  SetLastError(code ? code : ERROR_WRITE_FAULT);
  return TWriteResult::NotWritten;
}
