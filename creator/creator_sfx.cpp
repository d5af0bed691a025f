// The self-extracting package writer.
#include "creator/creator_sfx.h"

#include <cstring>
#include <limits>

namespace {

void WriteInt32(TSfxOutput& out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  out.Write(bytes, 4);
}

constexpr int64_t MaxLength = std::numeric_limits<int32_t>::max();

}  // namespace

void TSfxMemoryOutput::Write(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  FTarget.insert(FTarget.end(), p, p + size);
}

bool IsStoredSfxEntry(const std::string& name) {
  static constexpr char Stored[] = "data.pak";
  if (name.size() != sizeof Stored - 1) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != Stored[i]) return false;
  }
  return true;
}

bool LzhCompressBlock(const TMemoryStream& bytes, TMemoryStream& block) {
  TCustom_lzh lzh;
  lzh.InBuffer = bytes.data();
  lzh.InSize = static_cast<int32_t>(bytes.size());
  lzh.OutStream = &block;
  return lzh.Compress();
}

int64_t CopyExtractorStub(TSfxOutput& out, const TMemoryStream& stub) {
  out.Write(stub.data(), stub.size());
  return static_cast<int64_t>(stub.size());
}

int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxLoadFile& load,
                      TSfxCompress compress) {
  if (names.size() > static_cast<size_t>(MaxLength))
    throw ESfxError("Too many files for a self-extracting package");
  WriteInt32(out, static_cast<int32_t>(names.size()));
  int64_t payload = 4;
  for (const std::string& name : names) {
    TMemoryStream bytes = load(name);
    TMemoryStream block;
    const bool stored = IsStoredSfxEntry(name);
    if (!stored) {
      // An entry that is not a block would unpack to nothing: refuse rather than ship it.
      if (bytes.size() > static_cast<size_t>(MaxLength) || !compress(bytes, block) || block.size() < 5)
        throw ESfxError("Unable to compress '" + name + "' for the self-extracting package");
      bytes.clear();
      bytes.shrink_to_fit();
    }
    const TMemoryStream& data = stored ? bytes : block;
    const int64_t entry = 8 + static_cast<int64_t>(name.size()) + static_cast<int64_t>(data.size());
    if (payload + entry > MaxLength)
      throw ESfxError("The self-extracting package would pass 2 GiB at '" + name + "'");
    WriteInt32(out, static_cast<int32_t>(data.size()));
    WriteInt32(out, static_cast<int32_t>(name.size()));
    out.Write(name.data(), name.size());
    out.Write(data.data(), data.size());
    payload += entry;
  }
  WriteInt32(out, static_cast<int32_t>(payload));
  return static_cast<int32_t>(payload);
}

void WriteSfxMagic(TSfxOutput& out) {
  static constexpr uint8_t Magic[4] = {0x2E, 0x22, 0x6B, 0x3D};
  out.Write(Magic, sizeof Magic);
}
