#include "setup/setup_installthread.h"

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "setup/setup_installcore.h"
#include "setup/setup_installer.h"
#include "setup/setup_main.h"

namespace {

// The state of the one worker of a run. It lives outside the worker object, which frees itself
// when it ends, so the wizard may hold, stop and wait for the worker at any moment.
HANDLE GoEvent;        // manual reset; reset while the worker is held
HANDLE EndEvent;       // manual reset; set when Execute has ended (or before any worker ran)
// The stop request and the worker's result in one word, so that of a stop and the end of the run
// only the first counts: kRunning while the worker runs, then kStopped once a stop is requested
// or kResult once the worker has come to its result.
enum : LONG { kRunning, kStopped, kResult };
volatile LONG Stop;
// Set while GoEvent is reset: the worker's test after each item waits on the event only then, as
// each wait is a call to the system (under Wine, to its server).
volatile LONG Held;
// The progress bar's position as this run last sent it; -1 before the first. The worker waits for
// each call that reaches the window, so a position is sent only when it changes.
int SentPosition = -1;

void EnsureEvents() {
  if (!GoEvent) GoEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (!EndEvent) EndEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

bool OnUiThread() { return GetCurrentThreadId() == ui::Application.ThreadId; }

int64_t RealDiskFree(int drive) {
  char root[4] = {static_cast<char>('A' + drive - 1), ':', '\\', 0};
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA(root, &available, &total, &free)) return -1;
  return available.QuadPart > 0x7FFFFFFFFFFFFFFFull ? INT64_MAX
                                                    : static_cast<int64_t>(available.QuadPart);
}

// Runs a change of the wizard on the user-interface thread, in order with the others.
template <class F> void OnForm(F call) {
  if (OnUiThread())
    call();
  else
    ui::TThread::Synchronize(call);
}

}  // namespace

std::function<void(int)> TInstallThread::OnProgress;
int64_t (*TInstallThread::DiskFree)(int drive) = RealDiskFree;
TWriteBytes TInstallThread::WriteBytes = SystemWriteBytes;

TInstallThread::TInstallThread() {
  EnsureEvents();
  InterlockedExchange(&Stop, kRunning);
  ResetEvent(EndEvent);
  SentPosition = -1;
}

void TInstallThread::Hold() {
  EnsureEvents();
  ResetEvent(GoEvent);
  InterlockedExchange(&Held, 1);
}

bool TInstallThread::Release(bool stop) {
  EnsureEvents();
  const bool inTime = !stop || InterlockedCompareExchange(&Stop, kStopped, kRunning) != kResult;
  InterlockedExchange(&Held, 0);
  SetEvent(GoEvent);
  return inTime;
}

void TInstallThread::WaitForEnd() {
  EnsureEvents();
  ui::WaitServing(EndEvent);
}

bool TInstallThread::StopRequested() {
  EnsureEvents();
  if (Held && !OnUiThread()) WaitForSingleObject(GoEvent, INFINITE);
  return Stop == kStopped;
}

void ShowProgressLabel(const std::string& text) {
  OnForm([&text] { MainForm->ProgressLabel.SetText(text); });
}

void ShowProgress(int position) {
  if (position == SentPosition) return;
  SentPosition = position;
  OnForm([position] {
    MainForm->ProgressBar.SetPosition(position);
    if (TInstallThread::OnProgress) TInstallThread::OnProgress(position);
  });
}

void TInstallThread::Execute() {
  TInstaller& installer = *MainForm->Installer;
  installer.ThreadRunning = true;
  HRESULT com = CoInitialize(nullptr);
  // The result, with the exit code the program will end with; none after a stop request.
  auto finish = [&installer](const std::string& reason, TSetupExitCode code) {
    if (InterlockedCompareExchange(&Stop, kResult, kRunning) != kRunning) return;
    OnForm([&installer, &reason, code] {
      if (code != ecCompleted) {
        MainForm->LError.SetText(reason);
        MainForm->SetHeader("Installation Failed", "Setup could not complete the Installation.");
        MainForm->BEnd.SetText("&Close");
        installer.InstallStatus = 3;
      } else {
        MainForm->SetHeader("Installation Completed", "Setup has successfully completed the Installation.");
        MainForm->BEnd.SetText("&Finish");
        installer.InstallStatus = 2;
      }
      MainForm->ExitCode = code;
      MainForm->CoThread.SetEnabled(true);
    });
  };
  // The worker stops at the failing step; what was written so far stays, and the log keeps every
  // line written before the failure.
  auto failed = [&installer, &finish](std::string reason, TSetupExitCode code) {
    try {
      installer.UninstallLog.Close();
    } catch (const std::exception&) {
    }
    finish(reason, code);
  };
  try {
    if (!installer.CheckFreeSpace()) {
      finish(DiskSpaceText, ecDiskSpace);
    } else {
      std::string root = installer.ExpandPlaceholders("<InstallRoot>");
      bool created = !DirectoryExists(root);
      if (created) ForceDirectories(root);
      std::string logName = root + "\\" + UninstallLogName;
      installer.UninstallLog.Open(logName, WriteBytes);
      if (created) installer.UninstallLog.Write(TagCreateDir, root);
      installer.UninstallLog.Write(TagCreateFile, logName);

      installer.InstallFiles();
      installer.WriteRegistry();
      installer.RegisterUninstaller();
      ui::TThread::Synchronize([&installer] { installer.CreateShortcuts(); });
      installer.RegisterDlls();
      installer.RunPostInstall();
      installer.UninstallLog.Close();
      finish("", ecCompleted);
    }
  } catch (const EInstallError& e) {
    failed(e.what(), e.ExitCode());
  } catch (const std::exception& e) {
    failed(e.what(), ecInstallError);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  installer.ThreadRunning = false;
  SetEvent(EndEvent);
}
