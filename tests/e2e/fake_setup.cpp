// Stands in for setup.exe inside test packages: reports what it was given and where it ran.
//   fake_setup.exe /r:<report dir> [/x:<exit code>] [other arguments]   (values without blanks)
// Copies every file of its own directory into the report directory and writes there
// "cmdline.txt" (its whole command line) and "self.txt" (its own path).
#include <windows.h>

#include <string>

namespace {

void WriteText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

std::string Option(const std::string& line, const char* name) {
  size_t at = line.find(name);
  if (at == std::string::npos) return "";
  at += lstrlenA(name);
  return line.substr(at, line.find_first_of(" \"", at) - at);  // the value has no blanks or quotes
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string line = GetCommandLineA();
  std::string report = Option(line, "/r:");
  if (report.empty()) return 100;
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir = std::string(self, n);
  dir.resize(dir.rfind('\\') + 1);
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        CopyFileA((dir + fd.cFileName).c_str(), (report + "\\" + fd.cFileName).c_str(), FALSE);
    while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  WriteText(report + "\\cmdline.txt", line);
  WriteText(report + "\\self.txt", std::string(self, n));
  std::string code = Option(line, "/x:");
  return code.empty() ? 0 : atoi(code.c_str());
}
