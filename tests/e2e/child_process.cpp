#include "tests/e2e/child_process.h"

#include <tlhelp32.h>

#include <algorithm>

namespace {

struct TFind {
  std::vector<DWORD> Pids;    // the child and the programs it started
  std::vector<HWND> Windows;  // their visible top-level windows
};

BOOL CALLBACK CollectWindows(HWND wnd, LPARAM param) {
  auto* find = reinterpret_cast<TFind*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (std::find(find->Pids.begin(), find->Pids.end(), pid) != find->Pids.end() && IsWindowVisible(wnd))
    find->Windows.push_back(wnd);
  return TRUE;
}

std::string WindowText(HWND wnd) {
  char text[4096] = "";
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

bool IsMessageBox(HWND wnd) {
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0;
}

struct TChildSearch {
  const std::string* Button;
  HWND Found = nullptr;
  std::string Texts;  // the texts of the window's static controls, one a line
};

BOOL CALLBACK SearchChildren(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<TChildSearch*>(param);
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  std::string text = WindowText(wnd);
  if (lstrcmpiA(cls, "Button") == 0 && text == *search->Button && !search->Found) search->Found = wnd;
  if (lstrcmpiA(cls, "Static") == 0 && !text.empty()) search->Texts += text + "\n";
  return TRUE;
}

// The child and every program it started, directly or through others (a stub's setup.exe, say).
std::vector<DWORD> ProcessTree(DWORD child) {
  std::vector<DWORD> pids{child};
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  std::vector<PROCESSENTRY32> all;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe)) all.push_back(pe);
  CloseHandle(snap);
  for (size_t i = 0; i < pids.size(); ++i)
    for (const PROCESSENTRY32& p : all)
      if (p.th32ParentProcessID == pids[i] && std::find(pids.begin(), pids.end(), p.th32ProcessID) == pids.end())
        pids.push_back(p.th32ProcessID);
  return pids;
}

}  // namespace

TChildRun RunChild(const std::string& commandLine, std::vector<int> answers, DWORD timeoutMs,
                   const std::vector<TFormAnswer>& forms) {
  TChildRun run;
  std::string line = commandLine;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // The child and whatever it starts run in a job, so that a child that hangs takes its own
  // children with it when it is ended.
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "cannot start %s: error %lu\n", commandLine.c_str(), GetLastError());
    if (job) CloseHandle(job);
    return run;
  }
  if (job) AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  run.Started = true;
  run.Pid = pi.dwProcessId;
  CloseHandle(pi.hThread);
  std::vector<HWND> answered;
  size_t next = 0;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > timeoutMs) {
      if (job) TerminateJobObject(job, 999);
      TerminateProcess(pi.hProcess, 999);
      WaitForSingleObject(pi.hProcess, 5000);
      run.TimedOut = true;
      break;
    }
    TFind find{ProcessTree(pi.dwProcessId), {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&find));
    // A window answered before counts again once it has been hidden (a form may be shown anew).
    std::erase_if(answered, [&](HWND w) { return std::find(find.Windows.begin(), find.Windows.end(), w) == find.Windows.end(); });
    for (HWND wnd : find.Windows) {
      if (std::find(answered.begin(), answered.end(), wnd) != answered.end()) continue;
      if (IsMessageBox(wnd)) {
        answered.push_back(wnd);
        run.Boxes.push_back({WindowText(wnd), WindowText(GetDlgItem(wnd, 0xFFFF))});
        int id = next < answers.size() ? answers[next++] : IDOK;
        if (!GetDlgItem(wnd, id)) id = GetDlgItem(wnd, IDOK) ? IDOK : IDNO;
        PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(wnd, id)));
        continue;
      }
      for (const TFormAnswer& form : forms) {
        if (WindowText(wnd) != form.Caption) continue;
        TChildSearch search{&form.Button};
        EnumChildWindows(wnd, SearchChildren, reinterpret_cast<LPARAM>(&search));
        if (!search.Found) continue;  // not built up yet
        answered.push_back(wnd);
        run.Boxes.push_back({form.Caption, search.Texts});
        if (form.Look) form.Look(wnd);
        PostMessageA(search.Found, BM_CLICK, 0, 0);
      }
    }
  }
  GetExitCodeProcess(pi.hProcess, &run.ExitCode);
  CloseHandle(pi.hProcess);
  if (job) CloseHandle(job);  // ends what the child left running
  return run;
}
