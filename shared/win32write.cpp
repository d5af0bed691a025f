#include "shared/win32files.h"

BOOL SystemWriteBytes(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}

bool WriteAll(HANDLE file, const void* data, size_t size, TWriteBytes write, size_t* written) {
  // In pieces of at most 16 MiB: older systems refuse larger single writes.
  const auto* p = static_cast<const char*>(data);
  size_t done = 0;
  bool ok = true;
  while (ok && done < size) {
    const size_t left = size - done;
    const DWORD piece = left < (1u << 24) ? static_cast<DWORD>(left) : (1u << 24);
    DWORD put = 0;
    SetLastError(ERROR_SUCCESS);
    ok = write(file, p + done, piece, &put) && put == piece;
    done += put < piece ? put : piece;
    if (!ok && GetLastError() == ERROR_SUCCESS) SetLastError(put < piece ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
  }
  if (written) *written = done;
  return ok;
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
  if (FError == 0 && !WriteAll(FFile, data, size, FWrite)) FError = GetLastError();
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
