#include "setup/setup_main.h"

#include <windows.h>

TMainForm* MainForm = nullptr;

namespace {

const char kWelcomeTitle[] = "Welcome to the Setup Wizard!";
const char kWelcomeSub[] = "This wizard will guide you through the installation progress.";
const char kLicenseTitle[] = "License Agreement";
const char kLicenseSub[] = "Read the License Agreement carefully.";
const char kDestTitle[] = "Destination Directory";
const char kDestSub[] = "Select a directory into which this application will be installed.";
const char kTypeTitle[] = "Components Selection";
const char kTypeSub[] = "Specify which components Setup will install.";
const char kInstallTitle[] = "Performing Installation";
const char kInstallSub[] = "The Application is now being installed on your computer.";
const char kFailedTitle[] = "Installation Failed";
const char kFailedSub[] = "Setup could not complete the Installation.";

ui::TFontSpec FontOf(bool bold, int size = 8, COLORREF color = CLR_INVALID, bool underline = false) {
  ui::TFontSpec f;
  f.Bold = bold;
  f.Size = size;
  f.Color = color;
  f.Underline = underline;
  return f;
}

// A text file as the licence box shows it: its lines, each ended by CR, LF or CR LF, joined by
// CR LF (a break at the end shows none). False when it cannot be read.
bool ReadLicence(const std::string& path, std::string& shown, std::string& error) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = Concat({"Cannot open file \"", path, "\". ", SystemReason(code)});
    return false;
  }
  std::string text;
  char buf[4096];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
  CloseHandle(h);
  shown.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      shown += text[i];
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    if (i + 1 < text.size()) shown += "\r\n";
  }
  return true;
}

}  // namespace

TMainForm::TMainForm() : TForm("", 492, 353, ui::TBorder::Dialog, ui::TPosition::ScreenCenter) {
  MainForm = this;
  char path[MAX_PATH * 2] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  ProgramPath = path;
  CommandLine = GetCommandLineA();
  RestartComputer = [] { ExitWindowsEx(EWX_REBOOT, 0); };
  StartWorker = [this] { Installer->StartInstall(); };

  Panel1.Color = RGB(255, 255, 255);
  for (ui::TLabel* l : {&Label3, &Label4, &Label2}) l->SetTransparent();
  Label3.SetFont(FontOf(true));
  Label1.SetFont(FontOf(false, 8, RGB(255, 255, 255)));
  Label2.SetFont(FontOf(false, 8, RGB(128, 128, 128)));
  Label2.Cursor = IDC_HAND;
  // The grey word lies above its white copy and takes the clicks; drawn without a ground of its
  // own after the copy (which has one), it lets the copy's light edge show beside its strokes.
  SetWindowPos(Label2.Handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Label5.SetFont(FontOf(true, 10));
  Label6.SetFont(FontOf(true, 10));
  for (ui::TLabel* l : {&Label30, &LAppWebsite}) {
    l->SetFont(FontOf(false, 8, RGB(0, 0, 128), true));
    l->Cursor = IDC_HAND;
  }
  Button3.SetEnabled(false);

  Image2.LoadBitmap("WELCOME", true);
  Image3.LoadBitmap("FOLDER", true);
  Image4.LoadBitmap("LICENSE", true);
  Image5.LoadBitmap("PARTS", true);
  Image8.LoadBitmap("DONE", true);
  Image9.LoadBitmap("ERROR", false);

  OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
  Button2.OnClick = [this] { Button2Click(); };
  Button3.OnClick = [this] { Button3Click(); };
  BEnd.OnClick = [this] { BEndClick(); };
  CheckBox1.OnClick = [this] { CheckBox1Click(); };
  Button4.OnClick = [this] { Button4Click(); };
  EDest.OnKeyPress = [this](char& key) { EDestKeyPress(key); };
  Label2.OnClick = [this] { Label2Click(); };
  Button1.OnClick = [this] { Button1Click(); };
  LAppWebsite.OnClick = [this] { LAppWebsiteClick(); };
  Label30.OnClick = [this] { Label30Click(); };
  CoThread.OnTimer = [this] { CoThreadTimer(); };
  Notebook.GoOn = {&Button2, &BEnd};  // a page without controls: Next, else Finish, Close or Cancel
  ShowPage(pgDefault);
}

TMainForm::~TMainForm() {
  FormDestroy();
  if (MainForm == this) MainForm = nullptr;
}

// The program ends without running its message loop.
void TMainForm::EndProgram() { ui::Application.Terminated = true; }

void TMainForm::FormCreate() {
  Installer = new TInstaller;
  std::string dir = ProgramPath.substr(0, ProgramPath.find_last_of('\\') + 1);
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  Installer->SourceDir = dir;
  if (!Installer->LoadSetupData()) {
    ExitCode = Installer->LoadExitCode;
    EndProgram();
    return;
  }
  Label6.SetText(Installer->DisplayName);
  SetText(Installer->DisplayName + " - Corvantaine Wizard");
  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON")) {
    Image1.SetIcon(icon);
    SendMessageA(Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  }
  Image6.SetBitmap(Image2.Bitmap());
  ParseCommandLine();
  if (Installer->AppInfo.Unattended == 1) {
    if (!Installer->CheckOS()) {
      ui::BeepMsgBox(Handle, "Unattended Setup failed!\r\nThis Version of Windows is not supported.",
                     MB_OK | MB_ICONERROR);
      ExitCode = ecUnsupportedWindows;
      EndProgram();
      return;
    }
    StartUnattended();
  } else if (!Installer->CheckOS()) {
    ExitCode = ecUnsupportedWindows;
    LError.SetText(Concat({"Your Version of Microsoft (R) Windows (TM) is currently not supported by \r\n",
                           Installer->DisplayName, "."}));
    SetHeader(kFailedTitle, kFailedSub);
    BEnd.SetText("&Close");
    ShowPage(pgError);
    Button2.SetEnabled(false);
  }
}

// The destination of an unattended run: the "/d:" text, else the default destination; one
// trailing "\" is cut as on the Destination page.
void TMainForm::StartUnattended() {
  std::string dest = Args.HasDest ? Args.Dest
                                  : Installer->ExpandPlaceholders(Installer->AppInfo.DefaultDestDir.Str());
  EDest.SetText(dest);
  if (!Installer->ValidateDestDir(dest)) {
    ui::BeepMsgBox(Handle, "Unattended Setup failed!\r\nInvalid Destination Directory.", MB_OK | MB_ICONERROR);
    ExitCode = ecInvalidDestination;
    EndProgram();
    return;
  }
  if (!dest.empty() && dest.back() == '\\') dest.pop_back();
  Installer->DestDir = dest;
  StartInstallation();
}

void TMainForm::StartInstallation() {
  ShowPage(pgInstall);
  SetHeader(kInstallTitle, kInstallSub);
  Button2.SetEnabled(false);
  Button3.SetEnabled(false);
  StartWorker();
}

void TMainForm::FormDestroy() {
  delete Installer;
  Installer = nullptr;
}

void TMainForm::SetHeader(const std::string& Title, const std::string& Subtitle) {
  Label3.SetText(Title);
  Label4.SetText(Subtitle);
}

void TMainForm::ParseCommandLine() {
  Args = ParseSetupArgs(SplitCommandLine(CommandLine.c_str()));
  if (Args.Unattended) Installer->AppInfo.Unattended = 1;
  if (Args.HasDest) EDest.SetText(Args.Dest);
  if (Args.HasParts)  // exactly the named components are ticked
    for (int i = 0; i < PartsList.Count(); ++i) PartsList.SetChecked(i, PartNamed(Args, PartsList.Item(i)));
}

void TMainForm::EnterDestination() {
  ShowPage(pgDestination);
  SetHeader(kDestTitle, kDestSub);
  EDest.SetText(Args.HasDest ? Args.Dest
                             : Installer->ExpandPlaceholders(Installer->AppInfo.DefaultDestDir.Str()));
}

void TMainForm::Button2Click() {
  switch (Page()) {
    case pgDefault:
      if (Installer->AppInfo.LicenseMustAccept == 1) {
        SetHeader(kLicenseTitle, kLicenseSub);
        Button2.SetEnabled(CheckBox1.Checked());
        std::string licence, error;
        if (!ReadLicence(Installer->SourceDir + "license.rtf", licence, error)) {
          ui::MsgBox(Handle, error, MB_OK | MB_ICONERROR);
          return;
        }
        Memo1.SetText(licence);
        ShowPage(pgAgree);
      } else {
        EnterDestination();
      }
      Button3.SetEnabled(true);
      break;
    case pgAgree:
      EnterDestination();
      break;
    case pgDestination: {
      std::string d = EDest.Text();
      if (!Installer->ValidateDestDir(d)) {
        ui::BeepMsgBox(Handle,
                       "Invalid Destination Directory!\r\nYou can use the 'Browse...'-Button to select "
                       "another one.",
                       MB_OK | MB_ICONERROR);
        return;
      }
      if (DirectoryExists(d) &&
          ui::BeepMsgBox(Handle,
                         "Destination Directory already exists.\r\nExisting files could be "
                         "overwritten.\r\nContinue anyway?",
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
      if (!d.empty() && d.back() == '\\') d.pop_back();
      Installer->DestDir = d;
      ShowPage(pgType);
      SetHeader(kTypeTitle, kTypeSub);
      break;
    }
    case pgType:
      StartInstallation();
      break;
    default:
      break;
  }
}

void TMainForm::Button3Click() {
  switch (Page()) {
    case pgAgree:
      ShowPage(pgDefault);
      SetHeader(kWelcomeTitle, kWelcomeSub);
      Button3.SetEnabled(false);
      Button2.SetEnabled(true);
      break;
    case pgDestination:
      if (Installer->AppInfo.LicenseMustAccept == 1) {
        ShowPage(pgAgree);
        SetHeader(kLicenseTitle, kLicenseSub);
      } else {
        ShowPage(pgDefault);
        SetHeader(kWelcomeTitle, kWelcomeSub);
        Button3.SetEnabled(false);
      }
      break;
    case pgType:
      ShowPage(pgDestination);
      SetHeader(kDestTitle, kDestSub);
      break;
    default:
      break;
  }
}

void TMainForm::CheckBox1Click() { Button2.SetEnabled(CheckBox1.Checked()); }

void TMainForm::EDestKeyPress(char& Key) {
  if (Key != 13) return;
  Key = 0;
  Button2Click();
}

void TMainForm::Button4Click() {
  std::string folder = EDest.Text();
  if (!ui::Dialogs().BrowseFolderFrom(Handle, "Select a Destination Directory.", folder)) return;
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  EDest.SetText(folder + Installer->AppInfo.AppTitle.Str());
}

void TMainForm::Label2Click() {
  if (Page() == pgAbout) {
    Button1Click();
    return;
  }
  Image10.SetBitmap(Image8.Bitmap());
  const TAppInfoRec& a = Installer->AppInfo;
  LAppInfo.SetText(Concat({a.Company.Str(), " ", a.AppTitle.Str(), " ", a.AppVersion.Str()}));
  const std::string home = a.Homepage.Str();
  LAppWebsite.SetText(home == "http://" ? std::string() : home);
  ReturnPage = static_cast<uint8_t>(Page());
  ShowPage(pgAbout);
}

void TMainForm::Button1Click() { ShowPage(static_cast<TSetupPage>(ReturnPage)); }

void TMainForm::LAppWebsiteClick() { Installer->OpenURL(LAppWebsite.Text()); }

void TMainForm::Label30Click() { Installer->OpenURL(kMakerWebAddress); }

void TMainForm::CoThreadTimer() {
  CoThread.SetEnabled(false);
  // A result that comes while the cancel question is open waits for the answer (FormCloseQuery
  // starts the timer again).
  if (AskingCancel) return;
  const bool unattended = Installer->AppInfo.Unattended == 1;
  switch (Installer->InstallStatus) {
    case 2:
      if (unattended) Close();
      else ShowPage(pgDone);
      break;
    case 3:
      if (unattended) {
        // LError holds the reason the worker gave (for a lack of space: "Insufficient free disk
        // space to perform the installation.").
        ui::BeepMsgBox(Handle, "Unattended Setup failed!\r\n" + LError.Text(), MB_OK | MB_ICONERROR);
        Close();
      } else {
        ShowPage(pgError);
      }
      break;
    default:
      break;
  }
}

void TMainForm::BEndClick() {
  if (BEnd.Text() == "&Finish" && Installer && Installer->AppInfo.NeedsReboot == 1 &&
      Installer->AppInfo.Unattended == 0 &&
      ui::BeepMsgBox(Handle,
                     "It is strongly recommended to restart your computer now.\r\nDo you want Setup "
                     "to restart your computer?",
                     MB_YESNO | MB_ICONQUESTION) == IDYES)
    RestartComputer();
  Close();
}

void TMainForm::FormCloseQuery(bool& CanClose) {
  CanClose = true;
  if (BEnd.Text() != "&Cancel") return;
  const bool held = Installer && Installer->ThreadRunning;
  if (held) Installer->HoldWorker();
  AskingCancel = true;
  const bool yes =
      ui::BeepMsgBox(Handle, "Are you sure you want to cancel installation?", MB_YESNO | MB_ICONWARNING) == IDYES;
  AskingCancel = false;
  if (yes && (!held || Installer->ReleaseWorker(true))) {
    ExitCode = ecCancelled;
    if (held) Installer->WaitForWorker();
    return;
  }
  // No, or a Yes that came after the worker's result: the run goes on, or ended as that result
  // says, and the window shows it as it would have without the question.
  CanClose = false;
  if (held) {
    if (yes) Installer->WaitForWorker();  // its result reaches the window
    else Installer->ReleaseWorker(false);
  }
  if (Installer && Installer->InstallStatus != 0) CoThread.SetEnabled(true);
}
