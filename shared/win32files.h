// Small Win32 helpers that both programs and the self-extractor share: whether a file or a folder
// exists, creating a folder with its parents, writing a whole file, and the system's words for an
// error code. Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// A file that exists and is no folder.
bool FileExists(const std::string& path);

// A folder that exists.
bool DirectoryExists(const std::string& path);

// Creates the folder dir (with or without a backslash at the end) and every missing parent; a
// network path's server and share are taken as given. True when the folder exists afterwards.
// When not, failed (if given) names the first folder that could not be created, or dir itself,
// and GetLastError() says why.
bool ForceDirectories(const std::string& dir, std::string* failed = nullptr);

// How a piece of a file is handed to the system: WriteFile's arguments without the overlapped
// one. SystemWriteBytes is WriteFile itself; tests put another in its place to play a full disk.
using TWriteBytes = BOOL (*)(HANDLE file, const void* data, DWORD size, DWORD* written);
BOOL SystemWriteBytes(HANDLE file, const void* data, DWORD size, DWORD* written);

// Writes size bytes to the open file at its position, each piece through write. False when not
// all of them went, with the reason in GetLastError(): a write that takes fewer bytes than given,
// without a reason of its own, is a full disk (ERROR_DISK_FULL). written (if given) says how many
// went.
bool WriteAll(HANDLE file, const void* data, size_t size, TWriteBytes write = SystemWriteBytes,
              size_t* written = nullptr);

// Whether a reason of the system's means that the disk is full.
inline bool DiskFullCode(DWORD code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }

// Writes size bytes to the file at path, created by disposition (CREATE_ALWAYS replaces a file,
// CREATE_NEW fails on one), through WriteAll. Anything but Written leaves the reason in
// GetLastError().
enum class TWriteResult { Written, NotCreated, NotWritten };
inline TWriteResult WriteWholeFile(const std::string& path, const void* data, size_t size, DWORD disposition,
                                   TWriteBytes write = SystemWriteBytes);

// The same for a file whose bytes come a piece at a time, each through WriteAll:
//   TFileWriter out(write);
//   if (!out.Create(path, disposition)) ...          NotCreated, the reason in GetLastError()
//   while (...) if (!out.Write(piece, size)) break;  the first failure ends the file
//   TWriteResult result = out.Close();              Written, or NotWritten with the reason
// A writer destroyed while the file is open closes it (an exception came between).
class TFileWriter {
 public:
  explicit TFileWriter(TWriteBytes write = SystemWriteBytes) : FWrite(write) {}
  ~TFileWriter();
  TFileWriter(const TFileWriter&) = delete;
  TFileWriter& operator=(const TFileWriter&) = delete;

  bool Create(const std::string& path, DWORD disposition);
  // False once a piece could not be written whole; nothing more is written then.
  bool Write(const void* data, size_t size);
  TWriteResult Close();

 private:
  TWriteBytes FWrite;
  HANDLE FFile = INVALID_HANDLE_VALUE;
  DWORD FError = 0;  // the first failure's reason
};

inline TWriteResult WriteWholeFile(const std::string& path, const void* data, size_t size, DWORD disposition,
                                   TWriteBytes write) {
  TFileWriter out(write);
  if (!out.Create(path, disposition)) return TWriteResult::NotCreated;
  out.Write(data, size);
  return out.Close();
}

// The system's text for an error code without the line break and blanks it ends with; empty when
// the system has none.
std::string SystemMessage(DWORD code);
// The same for a message: "system error <code>" when the system has no text.
std::string SystemReason(DWORD code);
