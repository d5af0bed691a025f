// The real side of the seam, shared by dialogs.cpp and filedialogs.cpp (not for the programs).
#pragma once
#include "ui/ui.h"

namespace ui {

// The dialogs' font: Tahoma from Windows 98 and NT 5 on, else the layer's default.
TFontSpec DialogFont();
// The size of text drawn in font (a blank line's height when empty).
SIZE TextSize(const std::string& text, const TFontSpec& font);

// What every program asks: beeps, message boxes, the question with buttons of its own and the
// folder browser. The open and save dialogs, the input box and the pop-up menu answer as
// cancelled here; TFullDialogs (filedialogs.cpp, linked by the programs that call
// UseFullDialogs) shows them.
class TRealDialogs : public TUserDialogs {
public:
  void Beep() override;
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override;
  int Question(HWND owner, const std::string& text, const std::string& caption, UINT icon,
               const std::vector<std::string>& buttons, int defaultButton, int escapeButton) override;
  bool OpenFile(HWND, TFileDialog&) override { return false; }
  bool SaveFile(HWND, TFileDialog&) override { return false; }
  bool BrowseFolder(HWND owner, const std::string& prompt, std::string& folder) override;
  bool BrowseFolderFrom(HWND owner, const std::string& prompt, std::string& folder) override;
  bool InputBox(HWND, const std::string&, const std::string&, std::string&, int) override { return false; }
  int Popup(HWND, const std::vector<std::string>&, POINT) override { return -1; }
};

// Makes d the real dialogs that SetDialogs(nullptr) returns to; the seam takes d at once unless a
// replacement is installed.
void SetRealDialogs(TRealDialogs& d);

}  // namespace ui
