// Reading a self-extracting package: the stub's own file, followed by the payload and an 8-byte
// tail (payload length, magic). Portable: works on the file's bytes in memory.
//
//   stub | N | N x (S, L, name[L], data[S]) | P | 2E 22 6B 3D        (integers 32-bit little-endian)
//
// P counts N and the entries. Every entry's data is an LZH block, except that of data.pak (name
// compared with A to Z folded), which is stored as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct SfxEntry {
  std::string_view Name;  // points into the package's bytes
  const uint8_t* Data;
  uint32_t Size;
  bool Stored;  // data.pak: the bytes as they are; otherwise an LZH block
};

enum class SfxError {
  None,
  NoTail,          // shorter than the 8-byte tail
  BadMagic,        // the last 4 bytes are not the magic
  BadLength,       // the payload length does not fit in the file
  BadCount,        // the entry count is negative or more than the payload can hold
  BadEntry,        // an entry's lengths run past the payload, or the entries do not fill it
  BadName,         // an entry's name is not a plain file name, or appears twice
  NoSetup,         // no entry is setup.exe
};

// Lists the entries of the package held in file[0..size). On any error the list is left empty.
SfxError ReadSfxDirectory(const uint8_t* file, size_t size, std::vector<SfxEntry>& entries);

// A name that can only ever mean a file directly inside the directory it is written to: not
// empty, no path separators, drive colons or wildcards, no control characters, not "." or "..",
// not ending in a dot or blank, and no device name (CON, NUL, COM1, ...).
bool IsPlainFileName(std::string_view name);

// Text comparison with only the letters A to Z folded.
bool SameTextAZ(std::string_view a, std::string_view b);

// True when an LZH block of blockSize bytes may decode to count bytes: the count is not negative
// and no more than the block's bits can encode. Guards against a damaged trailer asking for
// gigabytes. An empty block (0 bytes) stands for an empty file; 1 to 4 bytes are no block.
bool LzhCountPlausible(uint32_t blockSize, int32_t count);

// The uncompressed length that an LZH block's trailer names (0 for a block of 4 bytes or less).
int32_t LzhBlockCount(const uint8_t* block, uint32_t blockSize);
