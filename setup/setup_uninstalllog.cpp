#include "setup/setup_uninstalllog.h"

#include <utility>

#include "setup/setup_installcore.h"

TUninstallLog::~TUninstallLog() {
  if (IsOpen()) CloseHandle(File);
}

void TUninstallLog::Fail(const char* what, DWORD code) {
  const bool full = DiskFullCode(code);
  std::string text = full ? std::string(DiskSpaceText) + "\r\nThe disk is full: the" : std::string("The");
  text.append(" uninstall log ").append(FileName).append(" could not be ").append(what);
  if (full) throw EInstallError(std::move(text.append(".")), ecDiskSpace);
  throw EInstallError(std::move(text.append(": ").append(SystemReason(code))));
}

void TUninstallLog::Open(const std::string& path, TWriteBytes write) {
  Close();
  FileName = path;
  WriteBytes = write;
  Size = 0;
  File = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen()) Fail("created", GetLastError());
}

void TUninstallLog::Write(std::string_view tag, std::string_view text) {
  if (!IsOpen()) Fail("written", ERROR_INVALID_HANDLE);
  const std::string line = LogLine(tag, text);
  size_t written = 0;
  if (!WriteAll(File, line.data(), line.size(), WriteBytes, &written)) {
    const DWORD code = GetLastError();
    // The part of the line that went is cut off again: the log ends with its last whole line.
    LARGE_INTEGER end;
    end.QuadPart = Size;
    if (written > 0 && SetFilePointerEx(File, end, nullptr, FILE_BEGIN)) SetEndOfFile(File);
    Fail("written", code);
  }
  Size += static_cast<LONGLONG>(line.size());
}

void TUninstallLog::Close() {
  if (!IsOpen()) return;
  HANDLE f = File;
  File = INVALID_HANDLE_VALUE;
  // Closing hands over what the system still holds, so its failure is a write error too.
  if (!CloseHandle(f)) Fail("written", GetLastError());
}
