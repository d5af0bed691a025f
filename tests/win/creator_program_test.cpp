// The creator program itself, started as its own process: its window, its first page, and a
// datasheet named on its command line. Nothing modal is involved; the process is ended by the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "tests/win/test_support.h"

namespace {

struct TFound {
  std::string Class, Text;
  HWND Window = nullptr;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM p) {
  auto* f = reinterpret_cast<TFound*>(p);
  char cls[64], text[256];
  GetClassNameA(h, cls, sizeof cls);
  DWORD_PTR n = 0;  // another process's controls answer WM_GETTEXT themselves
  text[0] = 0;
  SendMessageTimeoutA(h, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &n);
  if (IsWindowVisible(h) && (f->Class.empty() || lstrcmpiA(cls, f->Class.c_str()) == 0) && f->Text == text) {
    f->Window = h;
    return FALSE;
  }
  return TRUE;
}

class TProgram {
public:
  explicit TProgram(const std::string& args) {
    std::string cmd = "\"" CV_CREATOR_EXE "\" " + args;
    STARTUPINFOA si{sizeof si};
    si.dwFlags = STARTF_USESHOWWINDOW;  // shown, but not taking the activation from other tests
    si.wShowWindow = SW_SHOWNOACTIVATE;
    Started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Process);
  }
  ~TProgram() {
    if (!Started) return;
    TerminateProcess(Process.hProcess, 0);
    WaitForSingleObject(Process.hProcess, 10000);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
  }
  // The visible window of the wizard, once it is there.
  HWND Wizard() {
    for (int i = 0; i < 200 && Started; ++i) {
      TFound f{"", "Corvantaine 2 - Setup Creator"};
      EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
      if (f.Window) {
        DWORD pid = 0;
        GetWindowThreadProcessId(f.Window, &pid);
        if (pid == Process.dwProcessId) return f.Window;
      }
      Sleep(50);
    }
    return nullptr;
  }
  bool Started = false;
  PROCESS_INFORMATION Process{};
};

HWND VisibleChild(HWND parent, const char* cls, const std::string& text) {
  TFound f{cls, text};
  EnumChildWindows(parent, FindVisible, reinterpret_cast<LPARAM>(&f));
  return f.Window;
}

TEST(CreatorProgram, StartsOnTheWelcomePage) {
  TProgram p("");
  ASSERT_TRUE(p.Started);
  HWND w = p.Wizard();
  ASSERT_NE(w, nullptr);
  EXPECT_NE(VisibleChild(w, "", "Welcome to the Corvantaine 2 Setup Creator!"), nullptr);
  EXPECT_NE(VisibleChild(w, "Button", "Create a new Setup"), nullptr);
  HWND back = VisibleChild(w, "Button", "< &Back");
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(IsWindowEnabled(back));
  EXPECT_EQ(WaitForSingleObject(p.Process.hProcess, 0), WAIT_TIMEOUT) << "still running its message loop";
}

TEST(CreatorProgram, OpensTheDatasheetNamedOnItsCommandLine) {
  std::string file = testsupport::FreshTestDir("program") + "program.sds";
  std::ofstream(file, std::ios::binary) << "[APPINFO]\r\nName=\"From The Command Line\"\r\nVersion=\"3.1\"\r\n";
  {
    TProgram p("\"" + file + "\"");
    ASSERT_TRUE(p.Started);
    HWND w = p.Wizard();
    ASSERT_NE(w, nullptr);
    EXPECT_NE(VisibleChild(w, "Edit", "From The Command Line"), nullptr) << "page 1 shows the loaded title";
    HWND back = VisibleChild(w, "Button", "< &Back");
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(IsWindowEnabled(back));
  }
  DeleteFileA(file.c_str());
}

}  // namespace
