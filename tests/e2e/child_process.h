// Starting a whole program as a child process and answering its message boxes from outside,
// the way a user would: each box is read (caption and text) and one of its buttons is pressed.
// The boxes of the programs the child starts count as the child's.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

struct TBoxSeen {
  std::string Caption, Text;
};

struct TChildRun {
  bool Started = false;
  bool TimedOut = false;  // the child was still running at the time limit and was ended
  DWORD Pid = 0;
  DWORD ExitCode = ~0u;
  std::vector<TBoxSeen> Boxes;
};

// A window of the program's own making (not a message box) that asks something: when one with
// this caption shows, its button with this text is pressed; Look, if given, sees the window
// first, as it stands.
struct TFormAnswer {
  std::string Caption, Button;
  std::function<void(HWND)> Look = nullptr;
};

// Runs commandLine and waits for it. Each message box of the child gets the next button of
// answers (IDOK, IDYES, IDNO, ...); once they run out, IDOK, or IDNO for a box without OK.
// Windows named in forms are answered as they say, every time they show.
TChildRun RunChild(const std::string& commandLine, std::vector<int> answers = {}, DWORD timeoutMs = 30000,
                   const std::vector<TFormAnswer>& forms = {});

// The directory of the running test program, with a trailing backslash.
using testsupport::ProgramDir;
