// The creator's wizard window TForm1 (the one instance: Form1). The setup project lives in its
// controls; the item dialogs append rows to its lists, and the build thread reads every control
// through calls it hands to the user-interface thread.
//
// Pages of Notebook1: 0 Default, 1 AppInfo, 2 Files, 3 Registry, 4 License, 5 Advanced,
// 6 Advanced2, 7 Startmenu, 8 DLL, 9 Exec, 10 Ready, 11 Done.
#pragma once
#include <string>
#include <vector>

#include "creator/creator_datasheet.h"
#include "ui/ui.h"

class TForm1 : public ui::TForm {
public:
  TForm1();
  ~TForm1() override;

  // ---- outside the notebook ----
  ui::TImage Image1{*this, "Image1", 8, 8, 100, 275};
  ui::TBevel Bevel1{*this, "Bevel1", ui::TBevelShape::Frame, 6, 6, 104, 279};
  ui::TPanel Panel1{*this, "Panel1", "Welcome to the Corvantaine 2 Setup Creator!", 112, 0, 382, 25, DT_LEFT};
  ui::TNotebook Notebook1{*this, "Notebook1",
                          {"Default", "AppInfo", "Files", "Registry", "License", "Advanced", "Advanced2",
                           "Startmenu", "DLL", "Exec", "Ready", "Done"},
                          112, 24, 382, 265};

  // ---- 0 Default ----
  ui::TLabel Label1{Notebook1.Page(0), "Label1", "This wizard will guide you through the steps required to build your", 8, 8};
  ui::TLabel Label2{Notebook1.Page(0), "Label2", "setup.", 8, 21};
  ui::TLabel Label3{Notebook1.Page(0), "Label3", "Use the buttons Next, Back and Cancel on the bottom of this window", 8, 42};
  ui::TLabel Label4{Notebook1.Page(0), "Label4", "to navigate through the wizard.", 8, 55};
  ui::TLabel Label5{Notebook1.Page(0), "Label5", "You can either create a new setup or open an existing Corvantaine 2", 8, 76};
  ui::TLabel Label6{Notebook1.Page(0), "Label6", "Setup Datasheet and modify or rebuild it.", 8, 89};
  ui::TGroupBox GroupBox1{Notebook1.Page(0), "GroupBox1", "Start Up", 8, 112, 366, 100};
  ui::TRadioButton RadioButton1{GroupBox1, "RadioButton1", "Create a new Setup", 12, 20, 340, 17, true};
  ui::TRadioButton RadioButton2{GroupBox1, "RadioButton2", "Open an existing Setup Datasheet", 12, 42, 340, 17};
  ui::TEdit EOpenFile{GroupBox1, "EOpenFile", "", 28, 66, 250, 21};
  ui::TButton Button4{GroupBox1, "Button4", "B&rowse", 284, 65, 75, 23};

  // ---- 1 AppInfo ----
  ui::TGroupBox GroupBox2{Notebook1.Page(1), "GroupBox2", "Application Information", 8, 8, 366, 128};
  ui::TLabel Label7{GroupBox2, "Label7", "Application Title:", 12, 24};
  ui::TEdit EAppTitle{GroupBox2, "EAppTitle", "", 110, 20, 244, 21, 255};
  ui::TLabel Label8{GroupBox2, "Label8", "Version:", 12, 50};
  ui::TEdit EVersion{GroupBox2, "EVersion", "", 110, 46, 244, 21, 255};
  ui::TLabel Label9{GroupBox2, "Label9", "Company:", 12, 76};
  ui::TEdit ECompany{GroupBox2, "ECompany", "", 110, 72, 244, 21, 255};
  ui::TLabel Label10{GroupBox2, "Label10", "Homepage:", 12, 102};
  ui::TEdit EHomepage{GroupBox2, "EHomepage", "http://", 110, 98, 244, 21, 255};
  ui::TGroupBox GroupBox3{Notebook1.Page(1), "GroupBox3", "Application Announcement", 8, 144, 366, 110};
  ui::TRadioButton RadioButton3{GroupBox3, "RadioButton3", "Announce as \"Company Application Version\"", 12, 20, 340, 17, true};
  ui::TRadioButton RadioButton4{GroupBox3, "RadioButton4", "Announce as \"Company Application\"", 12, 42, 340, 17};
  ui::TRadioButton RadioButton6{GroupBox3, "RadioButton6", "Announce as \"Application\"", 12, 64, 340, 17};
  ui::TRadioButton RadioButton5{GroupBox3, "RadioButton5", "Announce as \"Application Version\"", 12, 86, 340, 17};

  // ---- 2 Files ----
  ui::TLabel Label11{Notebook1.Page(2), "Label11", "Select all files you want to be installed by the Setup.", 8, 8};
  ui::TListView FileList{Notebook1.Page(2), "FileList", {{"Destination", 175}, {"Source", 135}, {"Package", 55}}, 8, 28, 366, 200};
  ui::TButton Button6{Notebook1.Page(2), "Button6", "Add...", 218, 236, 75, 23};
  ui::TButton Button5{Notebook1.Page(2), "Button5", "Remove", 299, 236, 75, 23};

  // ---- 3 Registry ----
  ui::TLabel Label12{Notebook1.Page(3), "Label12", "You can set which registry values will be changed or created during the", 8, 8};
  ui::TLabel Label13{Notebook1.Page(3), "Label13", "installation process.", 8, 21};
  ui::TListView Registry{Notebook1.Page(3), "Registry", {{"Path", 140}, {"Key", 90}, {"Value", 90}, {"Type", 45}}, 8, 40, 366, 188};
  ui::TButton Button8{Notebook1.Page(3), "Button8", "Add...", 218, 236, 75, 23};
  ui::TButton Button9{Notebook1.Page(3), "Button9", "Remove", 299, 236, 75, 23};
  ui::TButton Button15{Notebook1.Page(3), "Button15", "Import...", 8, 236, 75, 23};

  // ---- 4 License ----
  ui::TGroupBox GroupBox4{Notebook1.Page(4), "GroupBox4", "License Aggreement", 8, 8, 366, 136};
  ui::TCheckBox CheckBox14{GroupBox4, "CheckBox14", "License Aggreement must be accepted before installation", 12, 20, 340};
  ui::TLabel Label27{GroupBox4, "Label27", "Filename:", 12, 48};
  ui::TEdit Edit5{GroupBox4, "Edit5", "", 12, 64, 260, 21};
  ui::TButton Button11{GroupBox4, "Button11", "Browse", 278, 63, 75, 23};
  ui::TLabel Label28{GroupBox4, "Label28", "The File can be a Plain Text Document (*.txt) or a Rich Text", 12, 96};
  ui::TLabel Label29{GroupBox4, "Label29", "Document (*.rtf).", 12, 109};

  // ---- 5 Advanced ----
  ui::TGroupBox GroupBox5{Notebook1.Page(5), "GroupBox5", "Compatibility", 8, 8, 366, 180};
  ui::TRadioButton RadioButton7{GroupBox5, "RadioButton7", "All Versions of Microsoft Windows", 12, 18, 340, 17, true};
  ui::TRadioButton RadioButton8{GroupBox5, "RadioButton8", "Custom Operating System Compatibility", 12, 38, 340, 17};
  ui::TCheckBox CheckBox1{GroupBox5, "CheckBox1", "Windows 95", 28, 60, 150, 17, true};
  ui::TCheckBox CheckBox2{GroupBox5, "CheckBox2", "Windows 98", 28, 76, 150, 17, true};
  ui::TCheckBox CheckBox3{GroupBox5, "CheckBox3", "Windows ME", 28, 92, 150, 17, true};
  ui::TCheckBox CheckBox4{GroupBox5, "CheckBox4", "Windows NT 4.0", 28, 108, 150, 17, true};
  ui::TCheckBox CheckBox5{GroupBox5, "CheckBox5", "Windows 2000", 28, 124, 150, 17, true};
  ui::TCheckBox CheckBox6{GroupBox5, "CheckBox6", "Windows XP", 28, 140, 150, 17, true};
  ui::TCheckBox CheckBox7{GroupBox5, "CheckBox7", "Newer / Can't detect", 28, 156, 150, 17, true};
  ui::TCheckBox CheckBox15{GroupBox5, "CheckBox15", "Windows Server 2003", 190, 60, 160, 17, true};
  ui::TGroupBox GroupBox6{Notebook1.Page(5), "GroupBox6", "Reboot", 8, 196, 366, 46};
  ui::TCheckBox CheckBox8{GroupBox6, "CheckBox8", "Requires a system reboot at the end of the installation", 12, 18, 340};

  // ---- 6 Advanced2 ----
  ui::TGroupBox GroupBox7{Notebook1.Page(6), "GroupBox7", "Default Destination Directory", 8, 8, 366, 56};
  ui::TEdit Edit1{GroupBox7, "Edit1", "<ProgramFiles>\\<AppName>", 12, 22, 342, 21, 255};

  // ---- 7 Startmenu ----
  ui::TLabel Label14{Notebook1.Page(7), "Label14", "If you want Setup to add shortcuts to the startmenu (recommended),", 8, 8};
  ui::TLabel Label15{Notebook1.Page(7), "Label15", "to the quicklaunch bar, or to the desktop, you can set it here.", 8, 21};
  ui::TListView ShortCuts{Notebook1.Page(7), "ShortCuts",
                          {{"Location", 75}, {"Caption", 100}, {"Target", 100}, {"Parameter(s)", 75}, {"Icon", 75}, {"#", 25}},
                          8, 40, 366, 188};
  ui::TButton Button12{Notebook1.Page(7), "Button12", "Remove", 299, 236, 75, 23};
  ui::TButton Button14{Notebook1.Page(7), "Button14", "Add...", 218, 236, 75, 23};

  // ---- 8 DLL ----
  ui::TLabel Label16{Notebook1.Page(8), "Label16", "If there are any DLL or OCX Files you want to have registered during the", 8, 8};
  ui::TLabel Label17{Notebook1.Page(8), "Label17", "installation process, specify them here.", 8, 21};
  ui::TListBox DLLList{Notebook1.Page(8), "DLLList", 8, 40, 366, 188};
  ui::TButton Button16{Notebook1.Page(8), "Button16", "Remove", 299, 236, 75, 23};
  ui::TButton Button17{Notebook1.Page(8), "Button17", "Add...", 218, 236, 75, 23};

  // ---- 9 Exec ----
  ui::TLabel Label18{Notebook1.Page(9), "Label18", "Specify additional Post-Installation and Pre-Uninstallation commands if", 8, 8};
  ui::TLabel Label19{Notebook1.Page(9), "Label19", "required. The commands will be executed without further confirmation.", 8, 21};
  ui::TGroupBox GroupBox8{Notebook1.Page(9), "GroupBox8", "Post-Installation Commands", 8, 40, 366, 106};
  ui::TListBox PIList{GroupBox8, "PIList", 12, 18, 310, 78};
  ui::TButton SpeedButton1{GroupBox8, "SpeedButton1", "+", 330, 18, 23, 22, true};
  ui::TButton SpeedButton2{GroupBox8, "SpeedButton2", "-", 330, 44, 23, 22, true};
  ui::TGroupBox GroupBox9{Notebook1.Page(9), "GroupBox9", "Pre-Uninstallation Commands", 8, 152, 366, 106};
  ui::TListBox PUIList{GroupBox9, "PUIList", 12, 18, 310, 78};
  ui::TButton SpeedButton4{GroupBox9, "SpeedButton4", "+", 330, 18, 23, 22, true};
  ui::TButton SpeedButton3{GroupBox9, "SpeedButton3", "-", 330, 44, 23, 22, true};

  // ---- 10 Ready ----
  ui::TLabel Label20{Notebook1.Page(10), "Label20", "Corvantaine 2 Setup Creator is now ready to build your setup.", 8, 8};
  ui::TLabel Label21{Notebook1.Page(10), "Label21", "Click next to begin packaging and compiling.", 8, 21};
  ui::TGroupBox GroupBox10{Notebook1.Page(10), "GroupBox10", "Where to copy the Setup Packages", 8, 40, 366, 52};
  ui::TEdit Edit3{GroupBox10, "Edit3", "C:\\My Setups", 12, 20, 260, 21};
  ui::TButton Button13{GroupBox10, "Button13", "Browse...", 278, 19, 75, 23};
  ui::TGroupBox GroupBox11{Notebook1.Page(10), "GroupBox11", "Create Packages for these media", 8, 100, 366, 80};
  ui::TCheckBox CheckBox10{GroupBox11, "CheckBox10", "Web (one self-extracting package)", 12, 18, 340};
  ui::TCheckBox CheckBox11{GroupBox11, "CheckBox11", "CD-ROM / DVD", 12, 38, 340, 17, true};
  ui::TCheckBox CheckBox16{GroupBox11, "CheckBox16", "Compress Data Package (slower, but smaller installation)", 12, 58, 340};
  ui::TGroupBox GroupBox12{Notebook1.Page(10), "GroupBox12", "Unattended Setup", 8, 188, 366, 44};
  ui::TCheckBox CheckBox12{GroupBox12, "CheckBox12", "Run Setup Wizard in unattended mode", 12, 18, 340};

  // ---- 11 Done ----
  ui::TLabel Label22{Notebook1.Page(11), "Label22", "Corvantaine 2 is now building your packages. Please wait...", 8, 8};
  ui::TLabel Label23{Notebook1.Page(11), "Label23", "Below is a report of the compiling process.", 8, 24};
  ui::TLabel Label30{Notebook1.Page(11), "Label30", "Click the 'Finish' Button to quit.", 8, 244};
  ui::TListBox Report{Notebook1.Page(11), "Report", 8, 42, 366, 196};

  // ---- the button row (tab order About, Back, Next, Cancel) ----
  ui::TBevel Bevel2{*this, "Bevel2", ui::TBevelShape::HorizontalLine, 0, 296, 495, 2};
  ui::TButton Button7{*this, "Button7", "&About...", 8, 304, 75, 22};
  ui::TButton Button3{*this, "Button3", "< &Back", 245, 304, 75, 22};
  ui::TButton Button2{*this, "Button2", "&Next >", 320, 304, 75, 22};
  ui::TButton Button1{*this, "Button1", "&Cancel", 408, 304, 75, 22};

  // The project's package names, in order (starts with "Required Files").
  std::vector<std::string> PackageList;

  // The first command-line argument: a datasheet to open when the window first shows.
  std::string DatasheetArgument;

  // ---- handlers ----
  void FormCreate();
  void FormShow();
  void FormCloseQuery(bool& CanClose);
  void FormDestroy();
  void Button2Click();  // Next
  void Button3Click();  // Back
  void Button1Click();  // Cancel / Finish
  void Button7Click();  // About
  void RadioButton1Click();
  void RadioButton2Click();
  void Button4Click();
  void Button6Click();
  void Button5Click();
  void Button8Click();
  void Button9Click();
  void Button15Click();
  void CheckBox14Click();
  void Button11Click();
  void RadioButton8Click();
  void RadioButton7Click();
  void Button14Click();
  void Button12Click();
  void Button17Click();
  void Button16Click();
  void SpeedButton1Click();
  void SpeedButton4Click();
  void SpeedButton2Click(ui::TControl* Sender);  // SpeedButton2 and SpeedButton3
  void Button13Click();

  // Writes the project to the file, replacing it; throws datasheet::EDatasheetError when it cannot.
  void SaveDatasheet(const std::string& FileName);
  // Replaces the project with the datasheet's and moves to page 1; a missing file is reported.
  void LoadDatasheet(const std::string& FileName);
  // Appends the values of a registry export to Registry.
  void ImportRegFile(const std::string& FileName);

  // The project as a datasheet's values, and back (the controls' handlers run as on a click).
  datasheet::TDatasheet Project() const;
  void SetProject(const datasheet::TDatasheet& d);

  // Next on the Ready page once a medium is chosen: the report page and the build thread.
  void StartBuild();
  // The build thread to wait for: a close request is refused while it runs, until Button1
  // reads "&Finish" (the build's last call on the window). Takes its own duplicate of the
  // handle, so the thread may free itself.
  void WatchBuild(HANDLE thread);
  bool BuildRunning() const;

private:
  HANDLE BuildThread = nullptr;
};

extern TForm1* Form1;
