// datasheet_bench SHEET [SAVEAS]: opens the wizard on the datasheet SHEET as the program does with
// its first argument; then, given SAVEAS, closes the wizard, answering the save question with Yes
// and the save dialog with SAVEAS, so that the window's own close path saves it. Prints the rows
// that came in, the seconds of the load and of the save, and the peak working set after each.
// See bench/scale-datasheet.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "creator/creator_main.h"
#include "ui/testing.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double PeakMegabytes() {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  return GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m) ? m.PeakWorkingSetSize / 1048576.0 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return std::fprintf(stderr, "usage: datasheet_bench SHEET [SAVEAS]\n"), 2;
  ui::Application.Title = "Corvantaine 2 Setup Creator";
  ui::testing::TScriptedDialogs answers;  // the close question and the save dialog, answered
  new TForm1;  // the load and the save need none of the dialogs
  TForm1& f = *Form1;

  f.DatasheetArgument = argv[1];
  auto start = std::chrono::steady_clock::now();
  f.Show(SW_SHOWNA);  // the first show opens the datasheet
  const double load = Seconds(start);
  if (f.Notebook1.PageIndex() != 1) return std::fprintf(stderr, "datasheet_bench: %s was not opened\n", argv[1]), 1;
  std::printf("load  %6d files %5d registry %5d shortcuts  %8.3f s  peak %7.1f MB\n", f.FileList.Count(),
              f.Registry.Count(), f.ShortCuts.Count(), load, PeakMegabytes());
  std::fflush(stdout);  // seen even when a slow save is given up on

  int status = 0;
  if (argc == 3) {
    answers.Answer(IDYES);
    answers.AnswerFile(argv[2]);
    start = std::chrono::steady_clock::now();
    SendMessageA(f.Handle, WM_CLOSE, 0, 0);
    const double save = Seconds(start);
    if (f.Handle && IsWindow(f.Handle)) {
      std::fprintf(stderr, "datasheet_bench: the wizard did not close after saving %s\n", argv[2]);
      status = 1;
    }
    std::printf("save  %39s  %8.3f s  peak %7.1f MB\n", "", save, PeakMegabytes());
  }
  delete Form1;
  return status;
}
