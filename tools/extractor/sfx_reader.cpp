// Reading a self-extracting package.
#include "tools/extractor/sfx_reader.h"

#include <cstring>

namespace {

constexpr uint32_t Magic = 0x3D6B222E;  // the bytes 2E 22 6B 3D

int64_t ReadInt32(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return static_cast<int32_t>(v);
}

char FoldAZ(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

bool SameTextAZ(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAZ(a[i]) != FoldAZ(b[i])) return false;
  return true;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  // Device names stay devices whatever extension follows them.
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* dev : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (SameTextAZ(stem, dev)) return false;
  if (stem.size() == 4 && (SameTextAZ(stem.substr(0, 3), "COM") || SameTextAZ(stem.substr(0, 3), "LPT")) &&
      stem[3] >= '0' && stem[3] <= '9')
    return false;
  return true;
}

int32_t LzhBlockCount(const uint8_t* block, uint32_t blockSize) {
  return blockSize <= 4 ? 0 : static_cast<int32_t>(ReadInt32(block + blockSize - 4));
}

bool LzhCountPlausible(uint32_t blockSize, int32_t count) {
  if (count < 0) return false;
  if (blockSize <= 4) return blockSize == 0;  // no block at all (the writer's coder failed): empty
  // The shortest code the coder has is one bit, and one code yields at most 60 bytes (a match).
  return uint64_t(count) <= (uint64_t(blockSize) - 4) * 8 * 60;
}

SfxError ReadSfxDirectory(const uint8_t* file, size_t size, std::vector<SfxEntry>& entries) {
  entries.clear();
  if (size < 8) return SfxError::NoTail;
  if (uint32_t(ReadInt32(file + size - 4)) != Magic) return SfxError::BadMagic;
  int64_t payload = ReadInt32(file + size - 8);
  int64_t end = int64_t(size) - 8;  // the payload ends where the tail begins
  if (payload < 4 || payload > end) return SfxError::BadLength;
  int64_t pos = end - payload;
  int64_t count = ReadInt32(file + pos);
  pos += 4;
  if (count < 0 || count > (end - pos) / 8) return SfxError::BadCount;

  std::vector<SfxEntry> found;
  found.reserve(size_t(count));
  bool hasSetup = false;
  for (int64_t i = 0; i < count; ++i) {
    if (end - pos < 8) return SfxError::BadEntry;
    int64_t dataSize = ReadInt32(file + pos);
    int64_t nameSize = ReadInt32(file + pos + 4);
    pos += 8;
    if (dataSize < 0 || nameSize < 0 || nameSize > end - pos || dataSize > end - pos - nameSize)
      return SfxError::BadEntry;
    SfxEntry e;
    e.Name = std::string_view(reinterpret_cast<const char*>(file + pos), size_t(nameSize));
    e.Data = file + pos + nameSize;
    e.Size = uint32_t(dataSize);
    e.Stored = SameTextAZ(e.Name, "data.pak");
    pos += nameSize + dataSize;
    if (!IsPlainFileName(e.Name)) return SfxError::BadName;
    for (const SfxEntry& other : found)
      if (SameTextAZ(other.Name, e.Name)) return SfxError::BadName;
    if (!e.Stored && !LzhCountPlausible(e.Size, LzhBlockCount(e.Data, e.Size))) return SfxError::BadEntry;
    hasSetup = hasSetup || SameTextAZ(e.Name, "setup.exe");
    found.push_back(e);
  }
  if (pos != end) return SfxError::BadEntry;
  if (!hasSetup) return SfxError::NoSetup;
  entries.swap(found);
  return SfxError::None;
}
