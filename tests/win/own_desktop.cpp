// Linked into the test programs whose windows are activated, focused and typed into: each runs on
// a desktop of its own. Wine gives one desktop one foreground window, and the window of a test
// program running beside it in parallel would otherwise take the activation, and with it the
// focus, from a box that a test is waiting to answer.
#include <windows.h>

#include <string>

namespace {

struct TOwnDesktop {
  TOwnDesktop() {  // before main, so before the first window of the program
    const std::string name = "cvtest" + std::to_string(GetCurrentProcessId());
    if (HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr))
      SetThreadDesktop(desktop);
  }
} ownDesktop;

}  // namespace
