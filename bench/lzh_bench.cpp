// lzh_bench c IN OUT          compresses IN into the LZH block OUT, a piece at a time
// lzh_bench d IN OUT          decompresses the LZH block IN into OUT, a piece at a time
// lzh_bench ref-c|ref-d IN OUT  the same with the plain reference coder, which works on the whole
//                             file in memory: it reads IN whole, codes it and writes OUT
// lzh_bench bench [FILE...]   compress and decompress throughput (MB = 10^6 bytes) of our coder
//                             and of the reference side by side, and the compression ratio of
//                             each file; without files the two corpora of scripts/bench-corpus.
//                             Two tables: the coders alone in this process, their memory reused
//                             from run to run; and whole processes, each of the four modes above
//                             run as a program of its own from a file into a fresh file. Both are
//                             medians of interleaved runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "bench/lzh_reference.h"
#include "codec/lzh.h"
#include "codec/lzh_pieces.h"

namespace {

bool ReadFile(const std::string& path, TMemoryStream& data) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data.clear();
  long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
  bool ok = size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    data.resize(size_t(size));
    ok = std::fread(data.data(), 1, data.size(), f) == data.size();
  }
  std::fclose(f);
  return ok;
}

bool WriteFile(const std::string& path, const TMemoryStream& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

bool Run(bool compress, const TMemoryStream& in, TMemoryStream& out) {
  TCustom_lzh lzh;
  lzh.InBuffer = in.data();
  lzh.InSize = int32_t(in.size());
  lzh.OutStream = &out;
  return compress ? lzh.Compress() : lzh.Decompress();
}

// A file in, a file out, for the coder's runs in pieces.
struct TFilePieces : TLzhPieces {
  FILE* In;
  FILE* Out;
  bool Read(uint8_t* buffer, size_t size, size_t& got) override {
    got = std::fread(buffer, 1, size, In);
    return !std::ferror(In);
  }
  bool Write(const uint8_t* data, size_t size) override { return std::fwrite(data, 1, size, Out) == size; }
};

int Convert(bool compress, const std::string& inPath, const std::string& outPath) {
  FILE* in = std::fopen(inPath.c_str(), "rb");
  if (!in) return std::fprintf(stderr, "lzh_bench: cannot read %s\n", inPath.c_str()), 1;
  std::unique_ptr<FILE, int (*)(FILE*)> closeIn(in, std::fclose);
  int32_t count = 0;
  if (!compress) {  // the count is the block's last 4 bytes
    uint8_t trailer[4];
    if (std::fseek(in, -4, SEEK_END) != 0 || std::fread(trailer, 1, 4, in) != 4 || std::fseek(in, 0, SEEK_SET) != 0)
      return std::fprintf(stderr, "lzh_bench: %s is no LZH block\n", inPath.c_str()), 1;
    count = LzhTrailerCount(trailer);
  }
  FILE* out = std::fopen(outPath.c_str(), "wb");
  if (!out) return std::fprintf(stderr, "lzh_bench: cannot write %s\n", outPath.c_str()), 1;
  TFilePieces files;
  files.In = in;
  files.Out = out;
  const bool ok = compress ? LzhEncodePieces(files) >= 0 : LzhDecodePieces(count, files);
  if (std::fclose(out) != 0 || !ok) return std::fprintf(stderr, "lzh_bench: %s failed\n", outPath.c_str()), 1;
  return 0;
}

int ConvertWithReference(bool compress, const std::string& inPath, const std::string& outPath) {
  TMemoryStream in, out;
  if (!ReadFile(inPath, in)) return std::fprintf(stderr, "lzh_bench: cannot read %s\n", inPath.c_str()), 1;
  if (in.size() > 0x7FFFFFFF) return std::fprintf(stderr, "lzh_bench: %s is too large\n", inPath.c_str()), 1;
  if (compress)
    out = RefLzhCompress(in.data(), int32_t(in.size()));
  else if (!RefLzhDecompress(in.data(), int32_t(in.size()), out))
    return std::fprintf(stderr, "lzh_bench: %s is no LZH block\n", inPath.c_str()), 1;
  if (!WriteFile(outPath, out)) return std::fprintf(stderr, "lzh_bench: cannot write %s\n", outPath.c_str()), 1;
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// This program run as a child on one file (mode IN OUT) into a fresh OUT: the seconds from its
// start to its end, or -1 when it could not run or failed.
double TimeChild(const char* mode, const std::string& in, const std::string& out) {
  std::remove(out.c_str());
#ifdef _WIN32
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command;
  for (const std::string& arg : {std::string(self), std::string(mode), in, out}) command += "\"" + arg + "\" ";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  auto t0 = std::chrono::steady_clock::now();
  if (!CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  double seconds = Seconds(t0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code == 0 ? seconds : -1;
#else
  const char* argv[] = {"lzh_bench", mode, in.c_str(), out.c_str(), nullptr};
  pid_t pid;
  auto t0 = std::chrono::steady_clock::now();
  if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double seconds = Seconds(t0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
#endif
}

struct TFigures {
  std::vector<double> OursC, RefC, OursD, RefD;
  bool Same = true;
  const char* Problem = nullptr;
};

void PrintRow(const std::string& path, size_t size, double ratio, const TFigures& t) {
  auto mbs = [&](const std::vector<double>& v) { return double(size) / 1e6 / Median(v); };
  std::string name = path.size() > 24 ? "..." + path.substr(path.size() - 21) : path;
  std::printf("%-24s %10zu %6.3f | %8.1f %8.1f %7.2fx | %8.1f %8.1f %7.2fx\n", name.c_str(), size, ratio,
              mbs(t.OursC), mbs(t.RefC), mbs(t.OursC) / mbs(t.RefC), mbs(t.OursD), mbs(t.RefD),
              mbs(t.OursD) / mbs(t.RefD));
}

// Each corpus is compressed and decompressed kRuns times by our coder and by the reference, the
// four runs of a round one after the other, so that both meet the machine in the same state;
// the tables give the medians. Both must write the same block, and each must restore the other's.
int Bench(std::vector<std::string> files) {
  constexpr int kRuns = 5;
  if (files.empty()) {
    std::string dir = std::string(CV_SOURCE_DIR) + "/build/bench-corpus/";
#ifndef _WIN32
    std::string script = "'" + std::string(CV_SOURCE_DIR) + "/scripts/bench-corpus'";
    if (std::system(script.c_str()) != 0) return std::fprintf(stderr, "lzh_bench: scripts/bench-corpus failed\n"), 1;
#endif
    files = {dir + "text10m.bin", dir + "bin10m.bin"};
  }
  std::vector<TMemoryStream> inputs(files.size());
  std::vector<double> ratios(files.size());
  std::vector<TFigures> inProcess(files.size()), whole(files.size());
  int status = 0;
  for (size_t f = 0; f < files.size(); f++) {
    const std::string& path = files[f];
    TMemoryStream& in = inputs[f];
    if (!ReadFile(path, in) || in.size() > 0x7FFFFFFF) {
      std::fprintf(stderr, "lzh_bench: cannot read %s (scripts/bench-corpus builds the corpora)\n", path.c_str());
      status = 1;
      continue;
    }
    const int32_t size = int32_t(in.size());
    TFigures& t = inProcess[f];
    TMemoryStream block, refBlock, back, refBack;
    for (int run = 0; run < kRuns; run++) {
      auto t0 = std::chrono::steady_clock::now();
      Run(true, in, block);
      t.OursC.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      refBlock = RefLzhCompress(in.data(), size);
      t.RefC.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      Run(false, refBlock, back);  // each restores the other's block
      t.OursD.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      RefLzhDecompress(block.data(), int32_t(block.size()), refBack);
      t.RefD.push_back(Seconds(t0));
      if (block != refBlock) t.Problem = "our block differs from the reference's";
      else if (back != in || refBack != in) t.Problem = "a block does not restore the input";
    }
    ratios[f] = size ? double(block.size()) / size : 0.0;

    // The same as whole programs, each writing a file of its own beside the input.
    TFigures& w = whole[f];
    const std::string ours = path + ".ours.lzh", ref = path + ".ref.lzh", back1 = path + ".ours.out",
                      back2 = path + ".ref.out";
    auto timed = [&w](std::vector<double>& into, const char* mode, const std::string& from, const std::string& to) {
      double s = TimeChild(mode, from, to);
      if (s < 0) w.Problem = "a whole-process run failed";
      into.push_back(s);
    };
    for (int run = 0; run < kRuns; run++) {
      timed(w.OursC, "c", path, ours);
      timed(w.RefC, "ref-c", path, ref);
      timed(w.OursD, "d", ref, back1);
      timed(w.RefD, "ref-d", ours, back2);
      TMemoryStream a, b, c, d;
      if (!ReadFile(ours, a) || !ReadFile(ref, b) || a != b) w.Problem = "our block file differs from the reference's";
      else if (!ReadFile(back1, c) || !ReadFile(back2, d) || c != in || d != in)
        w.Problem = "a block file does not restore the input";
    }
    for (const std::string& p : {ours, ref, back1, back2}) std::remove(p.c_str());
  }

  std::printf("%-24s %10s %6s | %-25s | %-25s\n", "", "", "", "   compress MB/s", "   decompress MB/s");
  std::printf("%-24s %10s %6s | %8s %8s %7s | %8s %8s %7s\n", "file", "bytes", "ratio", "ours", "ref", "ours/ref",
              "ours", "ref", "ours/ref");
  for (int table = 0; table < 2; table++) {
    std::printf(table == 0 ? "-- in process: the coders alone, their memory reused from run to run\n"
                           : "-- whole processes: lzh_bench c|d against ref-c|ref-d, a file in, a fresh file out\n");
    for (size_t f = 0; f < files.size(); f++) {
      const TFigures& t = table == 0 ? inProcess[f] : whole[f];
      if (t.OursC.empty()) continue;
      if (t.Problem) {
        std::fprintf(stderr, "lzh_bench: %s: %s\n", files[f].c_str(), t.Problem);
        status = 1;
      }
      PrintRow(files[f], inputs[f].size(), ratios[f], t);
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if ((mode == "c" || mode == "d") && argc == 4) return Convert(mode == "c", argv[2], argv[3]);
  if ((mode == "ref-c" || mode == "ref-d") && argc == 4) return ConvertWithReference(mode == "ref-c", argv[2], argv[3]);
  if (mode == "bench") return Bench(std::vector<std::string>(argv + 2, argv + argc));
  std::fprintf(stderr, "usage: lzh_bench c|d|ref-c|ref-d IN OUT | bench [FILE...]\n");
  return 2;
}
