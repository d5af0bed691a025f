// The add-file dialog: collects source files, one by one or a folder at a time, and appends one
// FileList row per file, with the chosen destination folder and package.
#pragma once

#include <functional>
#include <string>

// Walks folder depth first, in pre-order and in the file system's order, and hands every file's
// full path to add (hidden and system files too; folders themselves never). With subfolders clear
// only the folder's own files are taken. pump runs once per folder visited, before its listing is
// read. A folder that cannot be listed adds nothing.
void ScanFolder(std::string folder, bool subfolders, const std::function<void(const std::string&)>& add,
                const std::function<void()>& pump = {});

#include "ui/ui.h"

// The add-file dialog's window: bare for now; shown modally from the wizard.
class TAddFileFrm : public ui::TForm {
public:
  TAddFileFrm()
      : TForm("Add file to installation...", 360, 200, ui::TBorder::Dialog, ui::TPosition::MainFormCenter,
              {"Tahoma", 8}) {}
};

extern TAddFileFrm* AddFileFrm;
