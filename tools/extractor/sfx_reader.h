// Reading a self-extracting package: the stub's own file, followed by the payload and an 8-byte
// tail (payload length, magic). Portable: reads the file through a source that gives its bytes at
// any place, so that a package of any size is read a piece at a time.
//
//   stub | N | N x (S, L, name[L], data[S]) | P | 2E 22 6B 3D        (integers 32-bit little-endian)
//
// P counts N and the entries. Every entry's data is an LZH block, except that of data.pak (name
// compared with A to Z folded), which is stored as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The package file's bytes.
class TSfxBytes {
 public:
  // Reads size bytes at offset into buffer; false when they cannot be read.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;

 protected:
  ~TSfxBytes() = default;
};

// A package held in memory.
class TSfxMemory : public TSfxBytes {
 public:
  TSfxMemory(const uint8_t* bytes, size_t size) : Bytes(bytes), Size(size) {}
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (offset > Size || size > Size - offset) return false;
    if (size) std::memcpy(buffer, Bytes + offset, size);
    return true;
  }

 private:
  const uint8_t* Bytes;
  size_t Size;
};

struct SfxEntry {
  std::string Name;
  uint64_t Offset;  // of the data in the package file
  uint32_t Size;
  bool Stored;    // data.pak: the bytes as they are; otherwise an LZH block
  int32_t Count;  // the bytes an LZH block decodes to, from its trailer (0 for a stored entry)
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
  Unreadable,      // the source could not give bytes that lie inside the file
};

// Lists the entries of the package file of size bytes. On any error the list is left empty. It
// reads the tail, each entry's lengths and name, and each LZH block's trailer, nothing else, and
// takes no memory by a length the file claims.
SfxError ReadSfxDirectory(TSfxBytes& file, uint64_t size, std::vector<SfxEntry>& entries);

// The longest entry name: the longest that a file system takes for one name.
inline constexpr size_t kSfxMaxName = 255;

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

