// The real side of the seam that every program links: the platform's message boxes, the shell's
// folder browser and a small window of the layer's own, the question with buttons of its own.
// The file dialogs, the input box and the pop-up menu are in filedialogs.cpp.
#include "ui/dialogs.h"

#include <shlobj.h>

#include <algorithm>

namespace ui {

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

namespace {

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

int CALLBACK BrowseCallback(HWND h, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageA(h, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

// The shell's folder browser, opening at `folder` when it exists; rooted there too when asked.
bool Browse(HWND owner, const std::string& prompt, std::string& folder, bool rooted) {
  HRESULT com = CoInitialize(nullptr);
  LPITEMIDLIST root = nullptr;
  if (rooted && !folder.empty()) {
    // A vector, as for the shell links setup makes: one copy of its code serves both.
    int wide = MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> w(wide > 0 ? wide : 1);
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, w.data(), static_cast<int>(w.size()));
    if (FAILED(SHParseDisplayName(w.data(), nullptr, &root, 0, nullptr))) root = nullptr;
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

}  // namespace

void TRealDialogs::Beep() { MessageBeep(MB_OK); }

int TRealDialogs::Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

int TRealDialogs::Question(HWND, const std::string& text, const std::string& caption, UINT icon,
                           const std::vector<std::string>& buttons, int defaultButton, int escapeButton) {
  TFontSpec font = DialogFont();
  SIZE t = TextSize(text, font);
  int n = static_cast<int>(buttons.size());
  int width = std::max<int>(56 + t.cx + 16, n * 81 + 24);
  int height = std::max<int>(t.cy, 32) + 24 + 47;
  TQuestionForm f(caption, text, icon, buttons, defaultButton, escapeButton, width, height, t);
  f.ShowModal();
  return f.Chosen;
}

bool TRealDialogs::BrowseFolder(HWND owner, const std::string& prompt, std::string& folder) {
  return Browse(owner, prompt, folder, false);
}

bool TRealDialogs::BrowseFolderFrom(HWND owner, const std::string& prompt, std::string& folder) {
  return Browse(owner, prompt, folder, true);
}

namespace {

TRealDialogs g_basic;
TUserDialogs* g_real = &g_basic;  // what SetDialogs(nullptr) returns to
TUserDialogs* g_dialogs = &g_basic;

}  // namespace

TUserDialogs& Dialogs() { return *g_dialogs; }

TUserDialogs* SetDialogs(TUserDialogs* d) {
  TUserDialogs* old = g_dialogs;
  g_dialogs = d ? d : g_real;
  return old == g_real ? nullptr : old;
}

void SetRealDialogs(TRealDialogs& d) {
  if (g_dialogs == g_real) g_dialogs = &d;
  g_real = &d;
}

void Beep() { Dialogs().Beep(); }

int MsgBox(HWND owner, TTextArg text, UINT flags) {
  return Dialogs().Message(owner, text.Str, Application.Title, flags);
}

int BeepMsgBox(HWND owner, TTextArg text, UINT flags) {
  Beep();
  return MsgBox(owner, text, flags);
}

}  // namespace ui
