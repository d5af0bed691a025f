// The add-file dialog: collects source files, one by one or a folder at a time, and appends one
// FileList row per file, with the chosen destination folder and package.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/ui.h"

// Walks folder depth first, in pre-order and in the file system's order, and hands every file's
// full path to add (hidden and system files too; folders themselves never). With subfolders clear
// only the folder's own files are taken. pump runs once per folder visited, before its listing is
// read. A folder that cannot be listed adds nothing. The walk ends early as soon as stop, asked
// after each pump and before each entry, answers true.
void ScanFolder(std::string folder, bool subfolders, const std::function<void(const std::string&)>& add,
                const std::function<void()>& pump = {}, const std::function<bool()>& stop = {});

class TAddFileFrm : public ui::TForm {
public:
  TAddFileFrm();

  ui::TLabel Label1{*this, "Label1", "Select one or more files you want to be installed.", 8, 8, 361, 13};
  ui::TListBox ListBox1{*this, "ListBox1", 8, 24, 361, 121};
  ui::TLabel Label2{*this, "Label2", "Destination Folder:", 8, 153};
  ui::TComboBox ComboBox1{*this, "ComboBox1", ui::TComboStyle::DropDown, 8, 169, 361, 150, 255};
  ui::TLabel Label3{*this, "Label3", "Parent Package:", 8, 197};
  ui::TComboBox ComboBox2{*this, "ComboBox2", ui::TComboStyle::DropDown, 8, 213, 361, 150, 255};
  ui::TBevel Bevel1{*this, "Bevel1", ui::TBevelShape::HorizontalLine, 8, 245, 361, 2};
  ui::TButton Button1{*this, "Button1", "&Browse...", 8, 255, 75, 23};
  ui::TButton Button2{*this, "Button2", "&OK", 214, 255, 75, 23};
  ui::TButton Button3{*this, "Button3", "&Cancel", 294, 255, 75, 23};
  ui::TPopupMenu PopupMenu{*this};
  ui::TMenuItem AddFiles1{PopupMenu, "Add Files..."};
  ui::TMenuItem AddFolderContent1{PopupMenu, "Add Folder Content..."};

  void FormShow();
  void Button1Click();
  void AddFiles1Click();
  void AddFolderContent1Click();
  void Button2Click();
  void Button3Click();

private:
  bool Busy = false;      // OK's rows are being appended: the window handles messages meanwhile
  bool Scanning = false;  // a folder is being collected: the window handles messages meanwhile
};

extern TAddFileFrm* AddFileFrm;
