// TMainForm: the setup wizard, the program's one window. It owns the installer engine for the
// whole run and leads through the pages welcome, licence, destination, components and progress
// to the result (done or error), with an About page from any page; or, unattended, starts the
// installation at once and closes itself when the result arrives.
//
// The install worker reaches the window through MainForm: it writes ProgressLabel, ProgressBar,
// LError, the caption of BEnd and the header (SetHeader) on the user-interface thread, stores
// Installer->InstallStatus and then enables CoThread, whose handler shows the result.
#pragma once

#include <functional>
#include <string>

#include "setup/setup_core.h"
#include "setup/setup_installer.h"
#include "ui/ui.h"

// The notebook's pages, in order.
enum TSetupPage : int { pgDefault, pgAgree, pgDestination, pgType, pgInstall, pgDone, pgError, pgAbout };

class TMainForm : public ui::TForm {
 public:
  TMainForm();
  ~TMainForm() override;  // FormDestroy

  // Where FormCreate takes the program's path and arguments from (tests set their own).
  std::string ProgramPath;
  std::string CommandLine;
  // Asks Windows to restart; tests replace it.
  std::function<void()> RestartComputer;
  // Starts the install worker (TInstaller::StartInstall); tests of the pages replace it.
  std::function<void()> StartWorker;

  ui::TPanel NavBar{*this, "NavBar", "", 0, 296, 492, 57};
  ui::TLabel Label1{NavBar, "Label1", "Corvantaine", 4, 9};
  ui::TLabel Label2{NavBar, "Label2", "Corvantaine", 3, 8};
  ui::TPanel Panel2{*this, "Panel2", "", 0, 57, 492, 2};
  ui::TNotebook Notebook{*this, "Notebook",
                         {"Default", "Agree", "Destination", "Type", "Install", "Done", "Error", "About"},
                         0, 59, 492, 237};
  ui::TButton BEnd{NavBar, "BEnd", "&Cancel", 408, 24, 75, 22};
  ui::TButton Button2{NavBar, "Button2", "&Next >", 320, 24, 75, 22};
  ui::TButton Button3{NavBar, "Button3", "< &Back", 245, 24, 75, 22};
  // Default
  ui::TLabel Label5{Notebook.Page(pgDefault), "Label5", "Welcome to the Corvantaine Wizard for", 72, 16, 409, 17};
  ui::TImage Image2{Notebook.Page(pgDefault), "Image2", 16, 16, 50, 50};
  ui::TLabel Label6{Notebook.Page(pgDefault), "Label6", "Default", 72, 34, 409, 17};
  ui::TLabel Label7{Notebook.Page(pgDefault), "Label7",
                    "This wizard will guide you through the installation progress.", 72, 72, 409, 13};
  ui::TLabel Label8{Notebook.Page(pgDefault), "Label8",
                    "Use the buttons at the bottom to navigate through the steps.", 72, 88, 409, 13};
  ui::TLabel Label9{Notebook.Page(pgDefault), "Label9",
                    "This application is protected by copyright law. Copying or distributing it", 72, 192, 409, 13};
  ui::TLabel Label10{Notebook.Page(pgDefault), "Label10",
                     "beyond what its licence allows may be prosecuted.", 72, 208, 409, 13};
  // Destination
  ui::TImage Image3{Notebook.Page(pgDestination), "Image3", 16, 16, 50, 50};
  ui::TLabel Label11{Notebook.Page(pgDestination), "Label11",
                     "Select the folder Setup will install this application to.", 72, 16, 409, 13};
  ui::TLabel Label12{Notebook.Page(pgDestination), "Label12", "Destination Directory:", 72, 48, 409, 13};
  ui::TEdit EDest{Notebook.Page(pgDestination), "EDest", "C:\\Program Files\\Default", 72, 64, 409};
  ui::TButton Button4{Notebook.Page(pgDestination), "Button4", "Browse...", 406, 92, 75, 22};
  // Agree
  ui::TImage Image4{Notebook.Page(pgAgree), "Image4", 16, 16, 50, 50};
  ui::TLabel Label13{Notebook.Page(pgAgree), "Label13",
                     "You have to accept this licence agreement to continue the", 72, 16, 409, 13};
  ui::TLabel Label14{Notebook.Page(pgAgree), "Label14", "installation progress.", 72, 30, 409, 13};
  ui::TMemo Memo1{Notebook.Page(pgAgree), "Memo1", 72, 50, 409, 145, true};
  ui::TCheckBox CheckBox1{Notebook.Page(pgAgree), "CheckBox1",
                          "I accept the terms of the licence agreement", 72, 204, 409};
  // Type
  ui::TImage Image5{Notebook.Page(pgType), "Image5", 16, 16, 50, 50};
  ui::TLabel Label15{Notebook.Page(pgType), "Label15",
                     "Select the components which should be installed.", 72, 16, 409, 13};
  ui::TCheckListBox PartsList{Notebook.Page(pgType), "PartsList", 72, 36, 409, 153, 20};
  // Install
  ui::TImage Image6{Notebook.Page(pgInstall), "Image6", 16, 16, 50, 50};
  ui::TLabel Label16{Notebook.Page(pgInstall), "Label16",
                     "Setup is now installing the application on your computer.", 72, 16, 409, 13};
  ui::TLabel Label17{Notebook.Page(pgInstall), "Label17",
                     "This may take a few minutes, please wait...", 72, 32, 409, 13};
  ui::TLabel ProgressLabel{Notebook.Page(pgInstall), "ProgressLabel", "Creating Threads...", 72, 96, 409, 13};
  ui::TProgressBar ProgressBar{Notebook.Page(pgInstall), "ProgressBar", 72, 114, 409, 17, true, 100};
  // Done
  ui::TImage Image8{Notebook.Page(pgDone), "Image8", 16, 16, 50, 50};
  ui::TLabel Label21{Notebook.Page(pgDone), "Label21",
                     "Corvantaine Wizard has successfully completed the installation process.", 72, 16, 409, 13};
  ui::TLabel Label22{Notebook.Page(pgDone), "Label22",
                     "Please follow the instructions of the application's manual on further usage", 72, 48, 409, 13};
  ui::TLabel Label23{Notebook.Page(pgDone), "Label23", "instructions.", 72, 64, 409, 13};
  // Error
  ui::TImage Image9{Notebook.Page(pgError), "Image9", 16, 16, 50, 50};
  ui::TLabel Label24{Notebook.Page(pgError), "Label24",
                     "An Error occurred while installing the Application on your computer.", 72, 16, 409, 13};
  ui::TLabel Label25{Notebook.Page(pgError), "Label25",
                     "Setup could not complete the installation process.", 72, 32, 409, 13};
  ui::TLabel Label26{Notebook.Page(pgError), "Label26", "Reason:", 72, 64, 409, 13};
  ui::TLabel LError{Notebook.Page(pgError), "LError", "Unknown", 72, 80, 409, 100};
  // About
  ui::TImage Image10{Notebook.Page(pgAbout), "Image10", 16, 16, 50, 50};
  ui::TLabel Label27{Notebook.Page(pgAbout), "Label27",
                     "The following Application uses the freely available Corvantaine 2 Installation", 72, 16, 409, 13};
  ui::TLabel Label28{Notebook.Page(pgAbout), "Label28",
                     "Suite to get itself installed on your computer:", 72, 32, 409, 13};
  ui::TLabel LAppInfo{Notebook.Page(pgAbout), "LAppInfo", "", 72, 56, 409, 13};
  ui::TLabel Label29{Notebook.Page(pgAbout), "Label29", "You can download Corvantaine 2 from:", 72, 104, 409, 13};
  ui::TLabel Label30{Notebook.Page(pgAbout), "Label30", kMakerWebAddress, 72, 120, 409, 13};
  ui::TLabel LAppWebsite{Notebook.Page(pgAbout), "LAppWebsite", "", 72, 72, 409, 13};
  ui::TButton Button1{Notebook.Page(pgAbout), "Button1", "&OK", 406, 200, 75, 22};
  ui::TTimer CoThread{*this, 1, false};
  ui::TCheckBox CommonSC{Notebook.Page(pgType), "CommonSC", "Make Shortcuts Visible To All Users", 72, 196, 409};
  ui::TGroupBox GroupBox1{NavBar, "GroupBox1", "", 66, 10, 420, 7};
  ui::TPanel Panel1{*this, "Panel1", "", 0, 0, 492, 57};
  ui::TImage Image1{Panel1, "Image1", 456, 8, 32, 32};
  ui::TLabel Label3{Panel1, "Label3", "Welcome to the Setup Wizard!", 24, 8, 420, 13};
  ui::TLabel Label4{Panel1, "Label4", "This wizard will guide you through the installation progress.", 40, 29, 400, 13};
  ui::TGroupBox GroupBox2{Panel1, "GroupBox2", "", 0, 50, 492, 7};

  static constexpr const char* kMakerWebAddress = "http://www.corvantaine.example/";

  // Handlers.
  void FormCreate();
  void FormDestroy();
  void FormCloseQuery(bool& CanClose);
  void Button2Click();  // Next
  void Button3Click();  // Back
  void BEndClick();
  void CheckBox1Click();
  void Button4Click();  // Browse
  void EDestKeyPress(char& Key);
  void Label2Click();   // About
  void Button1Click();  // OK on the About page
  void LAppWebsiteClick();
  void Label30Click();
  void CoThreadTimer();

  void SetHeader(const std::string& Title, const std::string& Subtitle);
  void ParseCommandLine();
  static std::string NormalizeList(const std::string& S, char Sep) { return ::NormalizeList(S, Sep); }
  static int32_t CountListItems(const std::string& S, char Sep) { return ::CountListItems(S, Sep); }
  static std::string GetListItem(const std::string& S, int32_t Index, char Sep) {
    return ::GetListItem(S, Index, Sep);
  }

  TInstaller* Installer = nullptr;  // owned
  uint8_t ReturnPage = 0;           // the page to go back to from About
  // The program's exit code: set where a run's end is decided (a failed load or check, the
  // worker's result, a confirmed cancel). A window closed before any of these was cancelled.
  TSetupExitCode ExitCode = ecCancelled;

 private:
  TSetupCommandLine Args;  // what ParseCommandLine found
  bool AskingCancel = false;  // the cancel question is open
  void ShowPage(TSetupPage page) { Notebook.SetPageIndex(page); }
  TSetupPage Page() const { return static_cast<TSetupPage>(Notebook.PageIndex()); }
  void EnterDestination();
  void StartInstallation();
  void StartUnattended();
  void EndProgram();
};

extern TMainForm* MainForm;
