#include "creator/creator_addfile.h"

#include "creator/creator_itemrules.h"
#include "creator/creator_main.h"

TAddFileFrm* AddFileFrm = nullptr;

void ScanFolder(std::string folder, bool subfolders, const std::function<void(const std::string&)>& add,
                const std::function<void()>& pump, const std::function<bool()>& stop) {
  if (pump) pump();
  if (stop && stop()) return;
  if (folder.empty() || folder.back() != '\\') folder += '\\';  // a drive root has its own
  WIN32_FIND_DATAA entry;
  HANDLE list = FindFirstFileA((folder + "*.*").c_str(), &entry);
  if (list == INVALID_HANDLE_VALUE) return;
  do {
    if (stop && stop()) break;
    std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + name;
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) continue;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
      add(path);
    else if (subfolders)
      ScanFolder(path + '\\', true, add, pump, stop);
  } while (FindNextFileA(list, &entry));
  FindClose(list);
}

TAddFileFrm::TAddFileFrm()
    : TForm("Add file to installation...", 377, 286, ui::TBorder::Dialog, ui::TPosition::MainFormCenter,
            ui::TFontSpec{"Tahoma", 8}) {
  OnShow = [this] { FormShow(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  Button3.OnClick = [this] { Button3Click(); };
  AddFiles1.OnClick = [this] { AddFiles1Click(); };
  AddFolderContent1.OnClick = [this] { AddFolderContent1Click(); };
  ActiveControl = &ListBox1;  // the first of the tab order, as in every dialog
}

void TAddFileFrm::FormShow() {
  ListBox1.Clear();
  ComboBox1.Clear();
  for (const char* folder : {"<InstallRoot>\\", "<SystemRoot>\\", "<SharedFiles>\\"}) ComboBox1.Add(folder);
  ComboBox1.SetText("<InstallRoot>\\");
  ComboBox2.ClearItems();
  for (const std::string& p : Form1->PackageList) ComboBox2.Add(p);
  ComboBox2.SetText(items::kRequiredFiles);
}

void TAddFileFrm::Button1Click() {
  if (Busy || Scanning) return;
  RECT frame;
  GetWindowRect(Handle, &frame);
  PopupMenu.Popup(frame.left + Button1.Left(), frame.top + Button1.Top() + Button1.Height() + 22);
}

void TAddFileFrm::AddFiles1Click() {
  ui::TFileDialog SelFiles;
  SelFiles.Title = "Select Files...";
  SelFiles.MultiSelect = true;
  if (!ui::Dialogs().OpenFile(Handle, SelFiles)) return;
  ui::THourglass wait;
  ListBox1.BeginUpdate();
  for (const std::string& f : SelFiles.Files) ListBox1.Add(f);
  ListBox1.EndUpdate();
}

void TAddFileFrm::AddFolderContent1Click() {
  std::string folder;
  if (!ui::Dialogs().BrowseFolder(Handle, "Select a Directory whose content you want to add.", folder))
    return;
  ui::THourglass wait;
  ListBox1.BeginUpdate();
  bool subfolders = ui::MsgBox(Handle, "Shall I add files located in subdirectories as well?",
                               MB_ICONQUESTION | MB_YESNO) == IDYES;
  // Cancel or the close box ends the walk: the dialog closes and keeps nothing of it.
  const auto closed = [this] { return ModalResult != ui::mrNone || ui::Application.Terminated; };
  Scanning = true;
  ScanFolder(folder, subfolders, [this](const std::string& path) { ListBox1.Add(path); },
             [] { ui::Application.ProcessMessages(); }, closed);
  Scanning = false;
  if (closed()) ListBox1.Clear();
  ListBox1.EndUpdate();
}

void TAddFileFrm::Button2Click() {
  // Neither a second press while the rows of the first are still going in, nor a press while a
  // folder is being collected, appends anything.
  if (Busy || Scanning) return;
  Busy = true;
  ui::THourglass wait;
  Form1->FileList.BeginUpdate();
  std::string folder = items::DestinationFolder(ComboBox1.Text());
  ComboBox1.SetText(folder);
  const std::string package = ComboBox2.Text();
  for (const std::string& source : ListBox1.Items()) {
    ui::Application.ProcessMessages();
    Form1->FileList.AddRow(items::FileEntryRow(folder, source, package));
  }
  Form1->FileList.EndUpdate();
  if (items::IsNewPackage(Form1->PackageList, package)) Form1->PackageList.push_back(package);
  Busy = false;
  Close();
}

void TAddFileFrm::Button3Click() {
  if (!Busy) Close();  // also while a folder is being collected: the walk ends and nothing of it stays
}
