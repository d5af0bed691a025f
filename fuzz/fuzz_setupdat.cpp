// Any bytes as setup.dat: ReadSetupSections either satisfies every count with records that are the
// input's own bytes at their places, or refuses; and it never holds more memory than the input
// could fill (a count of 2^31 files in a small file must not reserve 2^31 records).
#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "setup/setup_core.h"

namespace {

// The layout walked here independently of the reader: where every record and string begins.
struct TWalk {
  const uint8_t* data;
  size_t size;
  size_t at = sizeof(TAppInfoRec);
  bool whole = sizeof(TAppInfoRec) <= size;  // every field so far lies inside the input

  uint32_t Count(size_t bytes) {
    uint32_t v = 0;
    if (!whole || size - at < bytes) return whole = false, 0;
    for (size_t i = 0; i < bytes; ++i) v |= uint32_t(data[at + i]) << (8 * i);
    at += bytes;
    return v;
  }
  // The records of a section as the reader holds them: every one equals the input at its place;
  // a reader that gave up may hold fewer, never more, than the input has room for.
  template <class Rec> void Records(int64_t count, const TLHPointerList* list) {
    if (!whole) {
      if (list) __builtin_trap();  // the reader went on past a failure
      return;
    }
    if (!list) __builtin_trap();
    const int64_t room = int64_t((size - at) / sizeof(Rec));
    const int64_t want = count > 0 ? count : 0;
    const int64_t held = want <= room ? want : room;
    if (list->Count() != held) __builtin_trap();
    for (int32_t i = 1; i <= list->Count(); ++i)
      if (std::memcmp(list->GetItem(i), data + at + size_t(i - 1) * sizeof(Rec), sizeof(Rec)) != 0)
        __builtin_trap();
    if (want > room) whole = false;
    at += size_t(held) * sizeof(Rec);
  }
  void Strings(uint32_t count, const TStringList* list) {
    if (!whole) {
      if (list) __builtin_trap();
      return;
    }
    if (!list) __builtin_trap();
    const size_t room = (size - at) / sizeof(ShortString);
    const size_t held = count <= room ? count : room;
    if (list->size() != held) __builtin_trap();
    for (size_t i = 0; i < held; ++i) {
      ShortString s;
      std::memcpy(&s, data + at + i * sizeof s, sizeof s);
      if ((*list)[i] != s.Str()) __builtin_trap();
    }
    if (count > room) whole = false;
    at += held * sizeof(ShortString);
  }
};

TDateTime NoClock() { return 0; }  // the records' age plays no part here

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLHPointerList::Clock = NoClock;
  const size_t before = __sanitizer_get_current_allocated_bytes();
  TAppInfoRec info{};
  std::unique_ptr<TStringList> packages, dlls, post, pre;
  std::unique_ptr<TLHPointerList> reg, shortcuts, files;
  TByteReader r(data, size);
  const bool ok = ReadSetupSections(r, {&info, &packages, &reg, &shortcuts, &dlls, &post, &pre, &files});

  // What the reader holds: each record once, a list node for it, each string at most twice its
  // 256 bytes' worth (the list's growth), and a fixed part for the containers themselves.
  const size_t held = __sanitizer_get_current_allocated_bytes() - before;
  if (held > 2 * size + 4096) __builtin_trap();

  TWalk w{data, size};
  if (w.whole && std::memcmp(&info, data, sizeof info) != 0) __builtin_trap();
  w.Strings(w.Count(1), packages.get());
  w.Records<TRegValueRec>(w.Count(2), reg.get());
  w.Records<TShortcutRec>(w.Count(1), shortcuts.get());
  w.Strings(w.Count(2), dlls.get());
  w.Strings(w.Count(1), post.get());
  w.Strings(w.Count(1), pre.get());
  const uint32_t n = w.Count(4);
  w.Records<TPackedFileRec>(int32_t(n), files.get());
  if (ok != w.whole) __builtin_trap();

  FreeRecordList<TRegValueRec>(reg);
  FreeRecordList<TShortcutRec>(shortcuts);
  FreeRecordList<TPackedFileRec>(files);
  return 0;
}
