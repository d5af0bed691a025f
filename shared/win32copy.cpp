#include "shared/win32copy.h"

#include <memory>

bool TFileCopy::Seek(int64_t to) {
  LARGE_INTEGER at;
  at.QuadPart = to;
  if (SetFilePointerEx(From, at, nullptr, FILE_BEGIN)) return true;
  ReadError = GetLastError();
  ReadFailed = true;
  return false;
}

bool TFileCopy::ReadExactly(void* buffer, DWORD n) {
  auto* p = static_cast<char*>(buffer);
  for (DWORD got = 0; n > 0 && !ReadFailed; p += got, n -= got) {
    if (!ReadFile(From, p, n, &got, nullptr)) ReadError = GetLastError();
    ReadFailed = ReadError != 0 || got == 0;
  }
  return !ReadFailed;
}

bool TFileCopy::Read(uint8_t* buffer, size_t size, size_t& got) {
  got = size < Left ? size : Left;
  Left -= static_cast<uint32_t>(got);
  return got == 0 || ReadExactly(buffer, static_cast<DWORD>(got));
}

void TFileCopy::Copy() {
  const size_t piece = Left < (1u << 20) ? Left : (1u << 20);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[piece]);
  for (size_t got; Read(buffer.get(), piece, got) && got > 0;)
    if (!Write(buffer.get(), got)) return;
}
