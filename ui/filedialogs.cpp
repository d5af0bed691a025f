// The real dialogs that only some programs ask for: the platform's open and save dialogs, the
// input box (a small window of the layer's own) and the pop-up menu. In an object of their own,
// linked by a program that calls UseFullDialogs, so that setup.exe carries none of them.
#include "ui/dialogs.h"

#include <commdlg.h>

#include <algorithm>

#include "shared/systemdll.h"

namespace ui {
namespace {

class TInputForm : public TForm {
public:
  TInputForm(const std::string& caption, const std::string& prompt, int width)
      : TForm(caption, width, 92, TBorder::Dialog, TPosition::ScreenCenter, DialogFont()),
        Prompt(*this, "Prompt", prompt, 8, 8),
        Edit(*this, "Edit", "", 8, 28, width - 16),
        OK(*this, "OK", "OK", width - 166, 60, 75, 23),
        Cancel(*this, "Cancel", "Cancel", width - 83, 60, 75, 23) {
    OK.MakeDefault();
    Cancel.MakeCancel();
    OK.OnClick = [this] { ModalResult = mrOk; };
    Cancel.OnClick = [this] { ModalResult = mrCancel; };
    ActiveControl = &Edit;
  }
  TLabel Prompt;
  TEdit Edit;
  TButton OK, Cancel;
};

std::string FilterString(const std::string& filter) {
  std::string f = filter;
  std::replace(f.begin(), f.end(), '|', '\0');
  return f + std::string(2, '\0');
}

bool FileDialog(HWND owner, TFileDialog& d, bool save) {
  std::vector<char> buf(d.MultiSelect ? 65536 : 4096, '\0');
  d.FileName.copy(buf.data(), std::min(d.FileName.size(), buf.size() - 1));
  std::string filter = FilterString(d.Filter);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = d.Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrInitialDir = d.InitialDir.empty() ? nullptr : d.InitialDir.c_str();
  ofn.lpstrTitle = d.Title.empty() ? nullptr : d.Title.c_str();
  ofn.lpstrDefExt = d.DefaultExt.empty() ? nullptr : d.DefaultExt.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR |
              (d.MultiSelect ? OFN_ALLOWMULTISELECT : 0);
  // comdlg32 comes from the system folder, loaded when a dialog is first wanted (systemdll.h).
  static HMODULE dialogs = LoadSystemLibrary("comdlg32.dll");
  auto show = SystemFunction<decltype(&GetOpenFileNameA)>(dialogs, save ? "GetSaveFileNameA" : "GetOpenFileNameA");
  if (!show || !show(&ofn)) return false;
  d.Files.clear();
  std::string first = buf.data();
  const char* p = buf.data() + first.size() + 1;
  if (d.MultiSelect && *p) {  // a folder, then the names in it
    std::string dir = first.back() == '\\' ? first : first + '\\';
    for (; *p; p += std::char_traits<char>::length(p) + 1) d.Files.push_back(dir + p);
  } else {
    d.Files.push_back(first);
  }
  d.FileName = d.Files.front();
  return true;
}

class TFullDialogs : public TRealDialogs {
public:
  bool OpenFile(HWND owner, TFileDialog& d) override { return FileDialog(owner, d, false); }
  bool SaveFile(HWND owner, TFileDialog& d) override { return FileDialog(owner, d, true); }

  bool InputBox(HWND, const std::string& caption, const std::string& prompt, std::string& value,
                int maxLength) override {
    int width = std::max<int>(300, TextSize(prompt, DialogFont()).cx + 16);
    TInputForm f(caption, prompt, width);
    if (maxLength > 0) f.Edit.SetMaxLength(maxLength);
    f.Edit.SetText(value);
    if (f.ShowModal() != mrOk) return false;
    value = f.Edit.Text();
    return true;
  }

  int Popup(HWND owner, const std::vector<std::string>& items, POINT at) override {
    HMENU m = CreatePopupMenu();
    for (size_t i = 0; i < items.size(); ++i) AppendMenuA(m, MF_STRING, i + 1, items[i].c_str());
    SetForegroundWindow(owner);
    int id = TrackPopupMenu(m, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner,
                            nullptr);
    DestroyMenu(m);
    return id - 1;
  }
};

TFullDialogs g_full;

}  // namespace

void UseFullDialogs() { SetRealDialogs(g_full); }

}  // namespace ui
