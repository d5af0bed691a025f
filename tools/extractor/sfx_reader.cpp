// Reading a self-extracting package.
#include "tools/extractor/sfx_reader.h"

#include <cstring>

#include "codec/lzh_pieces.h"

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

bool LzhCountPlausible(uint32_t blockSize, int32_t count) {
  if (count < 0) return false;
  if (blockSize <= 4) return blockSize == 0;  // no block at all (the writer's coder failed): empty
  // The shortest code the coder has is one bit, and one code yields at most 60 bytes (a match).
  return uint64_t(count) <= (uint64_t(blockSize) - 4) * 8 * 60;
}

SfxError ReadSfxDirectory(TSfxBytes& file, uint64_t size, std::vector<SfxEntry>& entries) {
  entries.clear();
  if (size < 8) return SfxError::NoTail;
  uint8_t b[8];
  if (!file.ReadAt(size - 8, b, 8)) return SfxError::Unreadable;
  if (uint32_t(ReadInt32(b + 4)) != Magic) return SfxError::BadMagic;
  const int64_t payload = ReadInt32(b);
  const uint64_t end = size - 8;  // the payload ends where the tail begins
  if (payload < 4 || uint64_t(payload) > end) return SfxError::BadLength;
  uint64_t pos = end - uint64_t(payload);
  if (!file.ReadAt(pos, b, 4)) return SfxError::Unreadable;
  const int64_t count = ReadInt32(b);
  pos += 4;
  if (count < 0 || uint64_t(count) > (end - pos) / 8) return SfxError::BadCount;

  // Grown entry by entry, not by the count: a damaged count asks for up to 2^28 of them.
  std::vector<SfxEntry> found;
  bool hasSetup = false;
  for (int64_t i = 0; i < count; ++i) {
    if (end - pos < 8) return SfxError::BadEntry;
    if (!file.ReadAt(pos, b, 8)) return SfxError::Unreadable;
    const int64_t dataSize = ReadInt32(b);
    const int64_t nameSize = ReadInt32(b + 4);
    pos += 8;
    if (dataSize < 0 || nameSize < 0 || uint64_t(nameSize) > end - pos || uint64_t(dataSize) > end - pos - uint64_t(nameSize))
      return SfxError::BadEntry;
    if (uint64_t(nameSize) > kSfxMaxName) return SfxError::BadName;
    SfxEntry e;
    e.Name.resize(size_t(nameSize));
    if (nameSize && !file.ReadAt(pos, e.Name.data(), size_t(nameSize))) return SfxError::Unreadable;
    e.Offset = pos + uint64_t(nameSize);
    e.Size = uint32_t(dataSize);
    e.Stored = SameTextAZ(e.Name, "data.pak");
    e.Count = 0;
    pos = e.Offset + e.Size;
    if (!IsPlainFileName(e.Name)) return SfxError::BadName;
    for (const SfxEntry& other : found)
      if (SameTextAZ(other.Name, e.Name)) return SfxError::BadName;
    if (!e.Stored && e.Size > 4) {
      if (!file.ReadAt(e.Offset + e.Size - 4, b, 4)) return SfxError::Unreadable;
      e.Count = LzhTrailerCount(b);
    }
    if (!e.Stored && !LzhCountPlausible(e.Size, e.Count)) return SfxError::BadEntry;
    hasSetup = hasSetup || SameTextAZ(e.Name, "setup.exe");
    found.push_back(std::move(e));
  }
  if (pos != end) return SfxError::BadEntry;
  if (!hasSetup) return SfxError::NoSetup;
  entries.swap(found);
  return SfxError::None;
}
