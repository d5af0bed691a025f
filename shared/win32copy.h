// A file's bytes moved from an open file into a TFileWriter a piece at a time: copied as they are,
// or handed to a decoder run as its input and output (TLzhPieces). setup.exe and the
// self-extractor move every file they unpack so. Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "codec/lzh_pieces.h"
#include "shared/win32files.h"

// The next size bytes of from, from where it stands (or where Seek puts it), into out. A failed
// read is kept for the message: ReadError is the system's reason, or 0 when the file ended early.
class TFileCopy : public TLzhPieces {
 public:
  TFileCopy(HANDLE from, uint32_t size, TFileWriter& out) : From(from), Left(size), Out(out) {}
  bool Seek(int64_t to);
  // The next n bytes of the file (not counted against size), all of them or false.
  bool ReadExactly(void* buffer, DWORD n);
  bool Read(uint8_t* buffer, size_t size, size_t& got) override;
  bool Write(const uint8_t* data, size_t size) override { return Out.Write(data, size); }
  // The bytes as they are, through a buffer of at most 1 MiB (std::bad_alloc when there is none).
  void Copy();

  bool ReadFailed = false;
  DWORD ReadError = 0;

 private:
  HANDLE From;
  uint32_t Left;
  TFileWriter& Out;
};
