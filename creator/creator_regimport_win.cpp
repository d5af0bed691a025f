// The Windows side of the registry export reader: the ANSI code page and reading the file.
#include <windows.h>

#include "creator/creator_regimport.h"
#include "shared/win32files.h"

bool AnsiFromWide(const std::u16string& wide, std::string& ansi) {
  ansi.clear();
  if (wide.empty()) return true;
  const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
  const int size = static_cast<int>(wide.size());
  // A code page without a default character (UTF-8) takes neither the flag nor the question.
  const bool utf8 = GetACP() == CP_UTF8;
  BOOL usedDefault = FALSE;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int n = WideCharToMultiByte(CP_ACP, flags, w, size, nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
  if (n <= 0) return false;
  ansi.resize(n);
  WideCharToMultiByte(CP_ACP, flags, w, size, ansi.data(), n, nullptr, utf8 ? nullptr : &usedDefault);
  if (utf8) {  // every character has a form there but a lone surrogate, which comes out as U+FFFD
    for (size_t i = 0; i < wide.size(); ++i) {
      const bool high = wide[i] >= 0xD800 && wide[i] <= 0xDBFF, low = wide[i] >= 0xDC00 && wide[i] <= 0xDFFF;
      if (low || (high && (i + 1 == wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF))) return false;
      if (high) ++i;
    }
  }
  return !usedDefault;
}

bool ReadRegExportFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = f != INVALID_HANDLE_VALUE;
  LARGE_INTEGER size{};
  if (ok) ok = GetFileSizeEx(f, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = bytes.empty() || (ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                           got == bytes.size());
  }
  const DWORD code = ok ? 0 : (GetLastError() ? GetLastError() : ERROR_READ_FAULT);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  if (ok) return true;
  bytes.clear();
  error = "Unable to read " + path + ":\r\n" + SystemReason(code);
  return false;
}
