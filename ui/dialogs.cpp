// The real side of the seam: the platform's message boxes and common dialogs, and two small
// windows of the layer's own (the input box and the question with buttons of its own).
#include "ui/ui.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

namespace ui {
namespace {

TFontSpec DialogFont() {
  DWORD major = 0, minor = 0;
  TFontSpec f;
  if (WindowsVersion(major, minor) && (major > 4 || (major == 4 && minor > 0))) f.Name = "Tahoma";
  return f;
}

SIZE TextSize(const std::string& text, const TFontSpec& font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FontHandle(font));
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return SIZE{r.right, r.bottom};
}

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

class TQuestionForm : public TForm {
public:
  TQuestionForm(const std::string& caption, const std::string& text, UINT icon,
                const std::vector<std::string>& buttons, int defaultButton, int escapeButton, int width,
                int height, SIZE textSize)
      : TForm(caption, width, height, TBorder::Dialog, TPosition::ScreenCenter, DialogFont()),
        Icon(*this, "Icon", 12, 12, 32, 32),
        Text(*this, "Text", text, 56, 12 + std::max(0, (32 - (int)textSize.cy) / 2)) {  // sized to its text
    LPCSTR id = (icon & MB_ICONMASK) == MB_ICONHAND         ? IDI_HAND
                : (icon & MB_ICONMASK) == MB_ICONEXCLAMATION ? IDI_EXCLAMATION
                : (icon & MB_ICONMASK) == MB_ICONQUESTION    ? IDI_QUESTION
                                                              : IDI_ASTERISK;
    Icon.SetIcon(LoadIconA(nullptr, id));
    int n = static_cast<int>(buttons.size()), x = (width - (n * 75 + (n - 1) * 6)) / 2;
    for (int i = 0; i < n; ++i) {
      Buttons.push_back(new TButton(*this, "Button" + std::to_string(i), buttons[i], x + i * 81, height - 35, 75, 23));
      Buttons.back()->OnClick = [this, i] { Chosen = i; ModalResult = mrOk; };
    }
    if (defaultButton >= 0 && defaultButton < n) {
      Buttons[defaultButton]->MakeDefault();
      ActiveControl = Buttons[defaultButton];
    } else if (n) {
      ActiveControl = Buttons[0];
    }
    if (escapeButton >= 0 && escapeButton < n && escapeButton != defaultButton) Buttons[escapeButton]->MakeCancel();
  }
  ~TQuestionForm() override {
    for (TButton* b : Buttons) delete b;
  }
  TImage Icon;
  TLabel Text;
  std::vector<TButton*> Buttons;
  int Chosen = -1;
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
  if (!(save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn))) return false;
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

int CALLBACK BrowseCallback(HWND h, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageA(h, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

class TRealDialogs : public TUserDialogs {
public:
  void Beep() override { MessageBeep(MB_OK); }

  int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
  }

  int Question(HWND, const std::string& text, const std::string& caption, UINT icon,
               const std::vector<std::string>& buttons, int defaultButton, int escapeButton) override {
    TFontSpec font = DialogFont();
    SIZE t = TextSize(text, font);
    int n = static_cast<int>(buttons.size());
    int width = std::max<int>(56 + t.cx + 16, n * 81 + 24);
    int height = std::max<int>(t.cy, 32) + 24 + 47;
    TQuestionForm f(caption, text, icon, buttons, defaultButton, escapeButton, width, height, t);
    f.ShowModal();
    return f.Chosen;
  }

  bool OpenFile(HWND owner, TFileDialog& d) override { return FileDialog(owner, d, false); }
  bool SaveFile(HWND owner, TFileDialog& d) override { return FileDialog(owner, d, true); }

  bool BrowseFolder(HWND owner, const std::string& prompt, std::string& folder) override {
    return Browse(owner, prompt, folder, false);
  }
  bool BrowseFolderFrom(HWND owner, const std::string& prompt, std::string& folder) override {
    return Browse(owner, prompt, folder, true);
  }

  // The shell's folder browser, opening at `folder` when it exists; rooted there too when asked.
  static bool Browse(HWND owner, const std::string& prompt, std::string& folder, bool rooted) {
    HRESULT com = CoInitialize(nullptr);
    LPITEMIDLIST root = nullptr;
    if (rooted && !folder.empty()) {
      std::wstring w(folder.size() + 1, L'\0');
      w.resize(MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, w.data(), static_cast<int>(w.size())));
      if (FAILED(SHParseDisplayName(w.c_str(), nullptr, &root, 0, nullptr))) root = nullptr;
    }
    char path[MAX_PATH] = "";
    DWORD attr = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder.c_str());
    bool exists = attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
    BROWSEINFOA bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = root;
    bi.pszDisplayName = path;
    bi.lpszTitle = prompt.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = BrowseCallback;
    bi.lParam = exists ? reinterpret_cast<LPARAM>(folder.c_str()) : 0;
    LPITEMIDLIST id = SHBrowseForFolderA(&bi);
    bool ok = id && SHGetPathFromIDListA(id, path);
    if (id) CoTaskMemFree(id);
    if (root) CoTaskMemFree(root);
    if (SUCCEEDED(com)) CoUninitialize();
    if (ok) folder = path;
    return ok;
  }

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

TRealDialogs g_real;
TUserDialogs* g_dialogs = &g_real;

}  // namespace

TUserDialogs& Dialogs() { return *g_dialogs; }

TUserDialogs* SetDialogs(TUserDialogs* d) {
  TUserDialogs* old = g_dialogs;
  g_dialogs = d ? d : &g_real;
  return old == &g_real ? nullptr : old;
}

void Beep() { Dialogs().Beep(); }

int MsgBox(HWND owner, const std::string& text, UINT flags) {
  return Dialogs().Message(owner, text, Application.Title, flags);
}

int BeepMsgBox(HWND owner, const std::string& text, UINT flags) {
  Beep();
  return MsgBox(owner, text, flags);
}

}  // namespace ui
