// The install worker: one whole installation in the background while the wizard shows its
// progress page. It reaches the installer as MainForm->Installer and frees itself when it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shared/win32files.h"
#include "ui/ui.h"

class TInstallThread : public ui::TThread {
 public:
  // Created suspended; TInstaller::StartInstall sets the priority and FreeOnTerminate, then
  // resumes it. Creating a worker clears the stop request and the end signal (a hold made before
  // stays: the worker then stops at its first test).
  TInstallThread();

  // The wizard's side of a cancel. These work on state that outlives the worker object, so they
  // are safe to call whether or not the worker is still running. The close question runs
  //   if (running) TInstallThread::Hold();
  //   ... ask ...
  //   No:  TInstallThread::Release(false);           the worker goes on
  //   Yes: TInstallThread::Release(true); TInstallThread::WaitForEnd();   then close
  // and the worker then skips its result (no header, no status, no timer). A worker that has
  // passed its last stop-request test may come to its result while the question is open: then
  // the stop comes too late, Release(true) says so, and the result stands.
  // Hold: the worker stops at its next stop-request test until Release.
  static void Hold();
  // Release: lets a held worker go on; with stop, its stop request is set first. False when the
  // stop came too late: the worker had already come to its result (completed or failed).
  static bool Release(bool stop);
  // WaitForEnd: returns once Execute has ended (at once when no worker runs), serving the
  // worker's calls to the user-interface thread meanwhile. Never touches the worker object.
  static void WaitForEnd();

  // The worker's test after each item of its loops: waits while held, then answers whether a
  // stop was requested. On the user-interface thread it only answers.
  static bool StopRequested();

  // Every position the install steps send the progress bar (each a change), on the
  // user-interface thread, in order; for tests.
  static std::function<void(int)> OnProgress;

  // Where the free-space check asks for the bytes available to the user on a drive (1 = A: ..
  // 26 = Z:), -1 when there is no such drive; tests replace it.
  static int64_t (*DiskFree)(int drive);

  // Where setup hands the bytes of the files it writes to the system (SystemWriteBytes): the
  // installed files, the uninstall log, and the uninstaller copied into its temporary directory
  // at load time; tests replace it to play a disk that fills up.
  static TWriteBytes WriteBytes;

 protected:
  void Execute() override;
};

// Whether the component list has an item of exactly this caption that is checked (any of them).
bool PartsItemChecked(const char* caption);
// Whether a shortcut in the stored, unexpanded location is wanted by the ticked shortcut kinds.
// Reads the component list: user-interface thread.
bool ShortcutWanted(const std::string& Location);

// The worker's changes of the progress controls, run on the user-interface thread in the order
// they are made (at once when called there). A position equal to the one last sent in this run
// is not sent again.
void ShowProgressLabel(const std::string& text);
void ShowProgress(int position);
