// The build tests' part of the support header, apart so that only they link the compiler.
#include "codec/lzh.h"
#include "creator/creator_compiler.h"
#include "tests/win/test_support.h"

namespace testsupport {

std::string Decompress(const std::string& block) {
  TMemoryStream out;
  TCustom_lzh lzh;
  lzh.InBuffer = reinterpret_cast<const uint8_t*>(block.data());
  lzh.InSize = static_cast<int32_t>(block.size());
  lzh.OutStream = &out;
  lzh.Decompress();
  return std::string(out.begin(), out.end());
}

bool RunBuild(TBuildHost& host) {
  auto* compiler = new TCompiler(host);  // frees itself when the build ends
  HANDLE thread;
  if (!DuplicateHandle(GetCurrentProcess(), compiler->Handle, GetCurrentProcess(), &thread, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return false;
  compiler->Resume();
  ui::WaitServing(thread);
  CloseHandle(thread);
  return true;
}

}  // namespace testsupport
