// TUninstallLog: the open uninstall log cv2uinst.dat while the install worker runs. Every step
// writes its lines through it (format and tags: setup_installcore.h).
#pragma once

#include <string>
#include <string_view>

#include "shared/win32files.h"

// 8-bit text, created anew (emptied) when opened. Each line is handed to the system as it is
// written, so a failure later in the run (a full disk, a file that cannot be written) finds every
// earlier line in the file; a line is in the file whole or not at all, so the log always ends with
// a whole line. Every failure to create, write or close it raises EInstallError naming the file; a
// full disk, also one that takes only part of a line, as ecDiskSpace.
class TUninstallLog {
 public:
  TUninstallLog() = default;
  TUninstallLog(const TUninstallLog&) = delete;
  TUninstallLog& operator=(const TUninstallLog&) = delete;
  ~TUninstallLog();  // closes it without a word

  // The lines go to the system through write (tests play a full disk with it).
  void Open(const std::string& path, TWriteBytes write = SystemWriteBytes);
  void Write(std::string_view tag, std::string_view text);
  void Close();  // does nothing when not open
  bool IsOpen() const { return File != INVALID_HANDLE_VALUE; }
  const std::string& Path() const { return FileName; }

 private:
  [[noreturn]] void Fail(const char* what, DWORD code);
  HANDLE File = INVALID_HANDLE_VALUE;
  TWriteBytes WriteBytes = SystemWriteBytes;
  LONGLONG Size = 0;  // the bytes of the whole lines written
  std::string FileName;
};
