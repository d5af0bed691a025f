// lzh_bench c IN OUT        compresses IN into the LZH block OUT
// lzh_bench d IN OUT        decompresses the LZH block IN into OUT
// lzh_bench bench [FILE...] compress and decompress throughput (MB = 10^6 bytes) and the ratio of
//                           each file; without files the two corpora of scripts/bench-corpus
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/lzh.h"

namespace {

bool ReadFile(const std::string& path, TMemoryStream& data) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  bool ok = !std::ferror(f);
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

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Convert(bool compress, const std::string& inPath, const std::string& outPath) {
  TMemoryStream in, out;
  if (!ReadFile(inPath, in)) return std::fprintf(stderr, "lzh_bench: cannot read %s\n", inPath.c_str()), 1;
  if (in.size() > 0x7FFFFFFF) return std::fprintf(stderr, "lzh_bench: %s is too large\n", inPath.c_str()), 1;
  if (!Run(compress, in, out)) return std::fprintf(stderr, "lzh_bench: %s is no LZH block\n", inPath.c_str()), 1;
  if (!WriteFile(outPath, out)) return std::fprintf(stderr, "lzh_bench: cannot write %s\n", outPath.c_str()), 1;
  return 0;
}

int Bench(std::vector<std::string> files) {
  if (files.empty()) {
    std::string dir = std::string(CV_SOURCE_DIR) + "/build/bench-corpus/";
#ifndef _WIN32
    std::string script = "'" + std::string(CV_SOURCE_DIR) + "/scripts/bench-corpus'";
    if (std::system(script.c_str()) != 0) return std::fprintf(stderr, "lzh_bench: scripts/bench-corpus failed\n"), 1;
#endif
    files = {dir + "text10m.bin", dir + "bin10m.bin"};
  }
  std::printf("%-40s %10s %7s %12s %12s\n", "file", "bytes", "ratio", "comp MB/s", "decomp MB/s");
  int status = 0;
  for (const std::string& path : files) {
    TMemoryStream in, block, back;
    if (!ReadFile(path, in) || in.size() > 0x7FFFFFFF) {
      std::fprintf(stderr, "lzh_bench: cannot read %s (scripts/bench-corpus builds the corpora)\n", path.c_str());
      status = 1;
      continue;
    }
    auto t0 = std::chrono::steady_clock::now();
    Run(true, in, block);
    double tc = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    Run(false, block, back);
    double td = Seconds(t0);
    if (back != in) {
      std::fprintf(stderr, "lzh_bench: %s does not round-trip\n", path.c_str());
      status = 1;
    }
    std::string name = path.size() > 40 ? "..." + path.substr(path.size() - 37) : path;
    std::printf("%-40s %10zu %7.3f %12.1f %12.1f\n", name.c_str(), in.size(),
                in.empty() ? 0.0 : double(block.size()) / double(in.size()), double(in.size()) / 1e6 / tc,
                double(in.size()) / 1e6 / td);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if ((mode == "c" || mode == "d") && argc == 4) return Convert(mode == "c", argv[2], argv[3]);
  if (mode == "bench") return Bench(std::vector<std::string>(argv + 2, argv + argc));
  std::fprintf(stderr, "usage: lzh_bench c IN OUT | d IN OUT | bench [FILE...]\n");
  return 2;
}
