#include "tests/e2e/child_process.h"

#include <algorithm>

namespace {

struct TFind {
  DWORD Pid;
  std::vector<HWND> Boxes;
};

BOOL CALLBACK CollectBoxes(HWND wnd, LPARAM param) {
  auto* find = reinterpret_cast<TFind*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  if (pid == find->Pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(wnd)) find->Boxes.push_back(wnd);
  return TRUE;
}

std::string WindowText(HWND wnd) {
  char text[4096] = "";
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

}  // namespace

std::string ProgramDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  return dir.substr(0, dir.rfind('\\') + 1);
}

TChildRun RunChild(const std::string& commandLine, std::vector<int> answers, DWORD timeoutMs) {
  TChildRun run;
  std::string line = commandLine;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return run;
  run.Started = true;
  run.Pid = pi.dwProcessId;
  CloseHandle(pi.hThread);
  std::vector<HWND> answered;
  size_t next = 0;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(pi.hProcess, 999);
      WaitForSingleObject(pi.hProcess, 5000);
      run.TimedOut = true;
      break;
    }
    TFind find{pi.dwProcessId, {}};
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&find));
    for (HWND box : find.Boxes) {
      if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
      answered.push_back(box);
      run.Boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))});
      int id = next < answers.size() ? answers[next++] : IDOK;
      if (!GetDlgItem(box, id)) id = GetDlgItem(box, IDOK) ? IDOK : IDNO;
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    }
  }
  GetExitCodeProcess(pi.hProcess, &run.ExitCode);
  CloseHandle(pi.hProcess);
  return run;
}
