// The two readers of the tools: a package's directory (extractor.exe) and an uninstall log with
// its plan (cv2uinst.exe). Both take whatever bytes they are given.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/cv2uinst/uninstall_log.h"
#include "tools/extractor/sfx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every read of the directory lies inside the file, and so does every entry.
  struct TFile : TSfxBytes {
    const uint8_t* Data;
    size_t Size;
    bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
      if (offset > Size || n > Size - offset) __builtin_trap();
      return TSfxMemory(Data, Size).ReadAt(offset, buffer, n);
    }
  } file;
  file.Data = data;
  file.Size = size;
  std::vector<SfxEntry> entries;
  if (ReadSfxDirectory(file, size, entries) == SfxError::None) {
    for (const SfxEntry& e : entries)
      if (e.Offset > size || e.Size > size - e.Offset || !IsPlainFileName(e.Name)) __builtin_trap();
  }
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TUninstallPlan plan = PlanUninstall(ParseUninstallLog(text), "C:\\App\\cv2uinst.dat");
  for (const std::string& f : plan.Files)
    if (!IsFullPath(f)) __builtin_trap();
  for (const std::string& d : plan.Dirs)
    if (!IsFullPath(d) || ParentDir(d).empty()) __builtin_trap();
  SplitCommandLine(text);
  UnregisterCommand(text);
  return 0;
}
