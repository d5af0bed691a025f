// lzh_bench c IN OUT        compresses IN into the LZH block OUT
// lzh_bench d IN OUT        decompresses the LZH block IN into OUT
// lzh_bench bench [FILE...] compress and decompress throughput (MB = 10^6 bytes) of our coder and
//                           of the plain reference coder side by side (medians of interleaved
//                           runs), and the compression ratio of each file; without files the two
//                           corpora of scripts/bench-corpus
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/lzh_reference.h"
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

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Each corpus is compressed and decompressed kRuns times by our coder and by the reference, the
// four runs of a round one after the other, so that both meet the machine in the same state;
// the table gives the medians. Both must write the same block, and each must restore the other's.
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
  std::printf("%-24s %10s %6s | %-25s | %-25s\n", "", "", "", "   compress MB/s", "   decompress MB/s");
  std::printf("%-24s %10s %6s | %8s %8s %7s | %8s %8s %7s\n", "file", "bytes", "ratio", "ours", "ref", "ours/ref",
              "ours", "ref", "ours/ref");
  int status = 0;
  for (const std::string& path : files) {
    TMemoryStream in;
    if (!ReadFile(path, in) || in.size() > 0x7FFFFFFF) {
      std::fprintf(stderr, "lzh_bench: cannot read %s (scripts/bench-corpus builds the corpora)\n", path.c_str());
      status = 1;
      continue;
    }
    const int32_t size = int32_t(in.size());
    std::vector<double> oc, rc, od, rd;
    TMemoryStream block, refBlock, back, refBack;
    bool same = true;
    for (int run = 0; run < kRuns; run++) {
      auto t0 = std::chrono::steady_clock::now();
      Run(true, in, block);
      oc.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      refBlock = RefLzhCompress(in.data(), size);
      rc.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      Run(false, refBlock, back);  // each restores the other's block
      od.push_back(Seconds(t0));
      t0 = std::chrono::steady_clock::now();
      RefLzhDecompress(block.data(), int32_t(block.size()), refBack);
      rd.push_back(Seconds(t0));
      same = same && block == refBlock && back == in && refBack == in;
    }
    if (!same) {
      std::fprintf(stderr, "lzh_bench: %s: %s\n", path.c_str(),
                   block != refBlock ? "our block differs from the reference's" : "a block does not restore the input");
      status = 1;
    }
    auto mbs = [&](const std::vector<double>& t) { return double(size) / 1e6 / Median(t); };
    std::string name = path.size() > 24 ? "..." + path.substr(path.size() - 21) : path;
    std::printf("%-24s %10d %6.3f | %8.1f %8.1f %7.2fx | %8.1f %8.1f %7.2fx\n", name.c_str(), size,
                size ? double(block.size()) / size : 0.0, mbs(oc), mbs(rc), mbs(oc) / mbs(rc), mbs(od), mbs(rd),
                mbs(od) / mbs(rd));
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
