#include "shared/win32files.h"

BOOL SystemWriteBytes(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}

TFileWriter::~TFileWriter() {
  if (FFile != INVALID_HANDLE_VALUE) CloseHandle(FFile);
}

bool TFileWriter::Create(const std::string& path, DWORD disposition) {
  FFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  FError = 0;
  return FFile != INVALID_HANDLE_VALUE;
}

bool TFileWriter::Write(const void* data, size_t size) {
  // In pieces of at most 16 MiB: older systems refuse larger single writes.
  const auto* p = static_cast<const char*>(data);
  while (FError == 0 && size > 0) {
    const DWORD piece = size < (1u << 24) ? static_cast<DWORD>(size) : (1u << 24);
    DWORD written = 0;
    SetLastError(ERROR_SUCCESS);
    if (!FWrite(FFile, p, piece, &written) || written != piece) {
      FError = GetLastError();
      if (FError == ERROR_SUCCESS) FError = written < piece ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
    }
    p += written;
    size -= written;
  }
  return FError == 0;
}

TWriteResult TFileWriter::Close() {
  // Closing flushes what the system still holds, so its failure is a write error too.
  if (!CloseHandle(FFile) && FError == 0) FError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
  FFile = INVALID_HANDLE_VALUE;
  if (FError == 0) return TWriteResult::Written;
  SetLastError(FError);
  return TWriteResult::NotWritten;
}

TWriteResult WriteWholeFile(const std::string& path, const void* data, size_t size, DWORD disposition,
                            TWriteBytes write) {
  TFileWriter out(write);
  if (!out.Create(path, disposition)) return TWriteResult::NotCreated;
  out.Write(data, size);
  return out.Close();
}
