// Test support for the window layer: a scripted answerer for the seam, and message pumping.
//
//   ui::testing::TScriptedDialogs d;   // installed while it lives
//   d.Answer(IDYES);                   // the next message box returns IDYES
//   d.AnswerFile("C:\\x.sds");         // the next open/save dialog returns this path
//   d.AnswerCancel();                  // the next dialog of any kind is cancelled
//   form.Button1.Click();
//   ASSERT_EQ(d.Asked.size(), 1u);     // what was asked, in order, with the beep before it
//   EXPECT_TRUE(d.Asked[0].Beep);
//
// Answers are taken in order by whatever asks next. A message box with only an OK button takes
// no answer (it returns IDOK); any other question asked with no answer left is recorded,
// counted in Unscripted and cancelled (IDCANCEL, -1 or false).
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace ui::testing {

struct TAsked {
  enum TKind { Message, Question, OpenFile, SaveFile, BrowseFolder, InputBox, Popup } Kind;
  bool Beep = false;     // a beep came right before it
  HWND Owner = nullptr;
  std::string Text;      // message text, folder prompt, input prompt
  std::string Caption;   // message or input caption, file dialog title
  UINT Flags = 0;        // MB_* of a message box; the icon of a question
  std::vector<std::string> Buttons;  // of a question; the items of a pop-up menu
  int DefaultButton = -1, EscapeButton = -1;  // of a question: what Enter and Escape press
  TFileDialog File;      // the file dialog as it was asked
  std::string Value;     // the folder or input text handed in
  int MaxLength = 0;     // of an input box
  UINT Icon() const { return Flags & MB_ICONMASK; }
  UINT ButtonSet() const { return Flags & MB_TYPEMASK; }
};

struct TAnswer {
  bool Cancel = false;
  int Result = 0;                  // IDxxx of a message box, index of a question or menu item
  std::vector<std::string> Texts;  // chosen files, folder, input text
};

class TScriptedDialogs : public TUserDialogs {
public:
  TScriptedDialogs() : Previous(SetDialogs(this)) {}
  ~TScriptedDialogs() override { SetDialogs(Previous); }

  std::vector<TAsked> Asked;
  std::deque<TAnswer> Answers;
  int Beeps = 0;
  int Unscripted = 0;

  void Answer(int result) { Answers.push_back({false, result, {}}); }
  void AnswerCancel() { Answers.push_back({true, -1, {}}); }
  void AnswerFile(const std::string& path) { Answers.push_back({false, 0, {path}}); }
  void AnswerFiles(const std::vector<std::string>& paths) { Answers.push_back({false, 0, paths}); }
  void AnswerText(const std::string& s) { Answers.push_back({false, 0, {s}}); }  // input box, folder
  void Clear() { Asked.clear(); Answers.clear(); Beeps = 0; Unscripted = 0; PendingBeep = false; }

  void Beep() override {
    ++Beeps;
    PendingBeep = true;
  }
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
    Record({TAsked::Message, false, owner, text, caption, flags});
    if ((flags & MB_TYPEMASK) == MB_OK) return IDOK;  // nothing to decide: takes no answer
    TAnswer a;
    if (!Take(a)) return IDCANCEL;
    return a.Cancel ? IDCANCEL : a.Result;
  }
  int Question(HWND owner, const std::string& text, const std::string& caption, UINT icon,
               const std::vector<std::string>& buttons, int defaultButton = 0,
               int escapeButton = -1) override {
    TAsked q{TAsked::Question, false, owner, text, caption, icon};
    q.Buttons = buttons;
    q.DefaultButton = defaultButton;
    q.EscapeButton = escapeButton;
    Record(q);
    TAnswer a;
    return Take(a) && !a.Cancel ? a.Result : -1;
  }
  bool OpenFile(HWND owner, TFileDialog& d) override { return File(TAsked::OpenFile, owner, d); }
  bool SaveFile(HWND owner, TFileDialog& d) override { return File(TAsked::SaveFile, owner, d); }
  bool BrowseFolder(HWND owner, const std::string& prompt, std::string& folder) override {
    TAsked q{TAsked::BrowseFolder, false, owner, prompt};
    q.Value = folder;
    Record(q);
    TAnswer a;
    if (!Take(a) || a.Cancel || a.Texts.empty()) return false;
    folder = a.Texts[0];
    return true;
  }
  bool InputBox(HWND owner, const std::string& caption, const std::string& prompt, std::string& value,
                int maxLength) override {
    TAsked q{TAsked::InputBox, false, owner, prompt, caption};
    q.Value = value;
    q.MaxLength = maxLength;
    Record(q);
    TAnswer a;
    if (!Take(a) || a.Cancel) return false;
    value = a.Texts.empty() ? std::string() : a.Texts[0];
    if (maxLength > 0 && static_cast<int>(value.size()) > maxLength) value.resize(maxLength);  // as the edit would
    return true;
  }
  int Popup(HWND owner, const std::vector<std::string>& items, POINT at) override {
    TAsked q{TAsked::Popup, false, owner};
    q.Buttons = items;
    q.Text = std::to_string(at.x) + "," + std::to_string(at.y);
    Record(q);
    TAnswer a;
    return Take(a) && !a.Cancel ? a.Result : -1;
  }

private:
  TUserDialogs* Previous;
  bool PendingBeep = false;
  void Record(TAsked q) {
    q.Beep = PendingBeep;
    PendingBeep = false;
    Asked.push_back(std::move(q));
  }
  bool Take(TAnswer& a) {
    if (Answers.empty()) {
      ++Unscripted;
      return false;
    }
    a = Answers.front();
    Answers.pop_front();
    return true;
  }
  bool File(TAsked::TKind kind, HWND owner, TFileDialog& d) {
    TAsked q{kind, false, owner, "", d.Title};
    q.File = d;
    Record(q);
    TAnswer a;
    if (!Take(a) || a.Cancel || a.Texts.empty()) return false;
    d.Files = a.Texts;
    d.FileName = a.Texts[0];
    return true;
  }
};

// Handles the waiting messages of the calling (user-interface) thread.
inline void Pump() { Application.ProcessMessages(); }

// Pumps until cond() holds or timeoutMs have passed; returns cond().
template <class F>
bool PumpUntil(F cond, DWORD timeoutMs = 5000) {
  DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > timeoutMs) return cond();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  return true;
}

// Closes form as soon as its modal loop runs: call before the code that shows it modally.
inline void CloseWhenModal(TForm& form) {
  PostCall([&form] { form.Close(); });
}

}  // namespace ui::testing
