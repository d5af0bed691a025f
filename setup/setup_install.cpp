// The install steps of TInstaller and its worker start. Placeholders until the install worker
// lands: they install nothing.
#include "setup/setup_installer.h"

// Creates the worker suspended, one step below normal priority, freeing itself, and resumes it.
void TInstaller::StartInstall() {}

bool TInstaller::CheckFreeSpace() { return false; }
void TInstaller::InstallFiles() {}
void TInstaller::AskOverwrite() { OverwriteAnswer = 7; }
void TInstaller::WriteRegistry() {}
void TInstaller::RegisterUninstaller() {}
void TInstaller::CreateShortcuts() {}
void TInstaller::CreateShellLink(const std::string&, const std::string&, uint16_t,
                                 const std::string&, bool, const std::string&,
                                 const std::string&) {}
void TInstaller::RegisterDlls() {}
void TInstaller::RunPostInstall() {}

void TInstaller::HoldWorker() {}
void TInstaller::ReleaseWorker(bool) {}
void TInstaller::WaitForWorker() {}
