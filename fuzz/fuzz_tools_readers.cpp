// The two readers of the tools: a package's directory (extractor.exe) and an uninstall log with
// its plan (cv2uinst.exe). Both take whatever bytes they are given.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/cv2uinst/uninstall_log.h"
#include "tools/extractor/sfx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<SfxEntry> entries;
  if (ReadSfxDirectory(data, size, entries) == SfxError::None) {
    for (const SfxEntry& e : entries) {
      // Every entry lies inside the file.
      if (e.Data < data || e.Data + e.Size > data + size || !IsPlainFileName(e.Name)) __builtin_trap();
    }
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
