// The self-extracting package writer.
#include "creator/creator_sfx.h"

#include "creator/setupdat.h"

#include <cstring>
#include <limits>

namespace {

void Int32Bytes(int32_t value, uint8_t (&bytes)[4]) {
  const uint32_t v = static_cast<uint32_t>(value);
  bytes[0] = static_cast<uint8_t>(v), bytes[1] = static_cast<uint8_t>(v >> 8);
  bytes[2] = static_cast<uint8_t>(v >> 16), bytes[3] = static_cast<uint8_t>(v >> 24);
}

void WriteInt32(TSfxOutput& out, int32_t value) {
  uint8_t bytes[4];
  Int32Bytes(value, bytes);
  out.Write(bytes, 4);
}

constexpr int64_t MaxLength = std::numeric_limits<int32_t>::max();

}  // namespace

void TSfxMemoryOutput::Write(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  FTarget.insert(FTarget.end(), p, p + size);
}

void TSfxMemoryOutput::WriteAt(int64_t position, const void* data, size_t size) {
  std::memcpy(FTarget.data() + position, data, size);
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

int64_t CopyExtractorStub(TSfxOutput& out, ByteReader& stub) { return CopyStream(stub, out); }

int64_t CopyExtractorStub(TSfxOutput& out, const TMemoryStream& stub) {
  out.Write(stub.data(), stub.size());
  return static_cast<int64_t>(stub.size());
}

int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxOpenFile& open,
                      TSfxCompress compress) {
  if (names.size() > static_cast<size_t>(MaxLength))
    throw ESfxError("Too many files for a self-extracting package");
  WriteInt32(out, static_cast<int32_t>(names.size()));
  int64_t payload = 4;
  for (const std::string& name : names) {
    const TSfxSource source = open(name);
    const bool stored = IsStoredSfxEntry(name);
    const int64_t head = 8 + static_cast<int64_t>(name.size());
    const auto tooLarge = [&] { throw ESfxError("The self-extracting package would pass 2 GiB at " + Quoted(name)); };
    const int64_t room = MaxLength - payload - head;  // for the entry's data
    if (room < 0 || source.Size > MaxLength || (stored && source.Size > room)) tooLarge();
    // S: a stored entry's is its size; a block's is written over this once the block is.
    const int64_t lengthAt = out.Position();
    WriteInt32(out, stored ? static_cast<int32_t>(source.Size) : 0);
    WriteInt32(out, static_cast<int32_t>(name.size()));
    out.Write(name.data(), name.size());
    TLimitedReader exact(*source.Reader, source.Size);
    TCountingWriter data(out, room, [&](int64_t) { tooLarge(); });
    if (stored) {
      CopyStream(exact, data);
    } else if (!compress(exact, data) || data.Count() < 5) {
      // An entry that is not a block would unpack to nothing: refuse rather than ship it.
      throw ESfxError("Unable to compress " + Quoted(name) + " for the self-extracting package");
    }
    if (!exact.Exact()) throw ESfxError(Quoted(name) + " changed its size while it was being packaged");
    if (!stored) {
      uint8_t length[4];
      Int32Bytes(static_cast<int32_t>(data.Count()), length);
      out.WriteAt(lengthAt, length, sizeof length);
    }
    payload += head + data.Count();
  }
  WriteInt32(out, static_cast<int32_t>(payload));
  return static_cast<int32_t>(payload);
}

int32_t AppendPayload(TSfxOutput& out, const std::vector<std::string>& names, const TSfxLoadFile& load) {
  return AppendPayload(out, names, [&](const std::string& name) {
    TMemoryStream bytes = load(name);
    const auto size = static_cast<int64_t>(bytes.size());
    return TSfxSource{std::make_unique<TMemoryReader>(std::move(bytes)), size};
  });
}

void WriteSfxMagic(TSfxOutput& out) {
  static constexpr uint8_t Magic[4] = {0x2E, 0x22, 0x6B, 0x3D};
  out.Write(Magic, sizeof Magic);
}
