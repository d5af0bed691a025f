// Arbitrary templates and values through ExpandPlaceholders: it ends, asks each source only for
// what it needs, and its result is no longer than kMaxExpanded, nor, when no value holds a "%"
// (and so none can make or finish a reference), than the template with every token and reference
// replaced by the longest value (a value inserted early may hold tokens of later steps, so the
// bound is taken step by step).
//
// Input: the template, then the values, separated by zero bytes: title, version, company,
// homepage, display name, destination, WINDIR, other variables, registry values, folders. The
// first byte's low bit ticks "Make Shortcuts Visible To All Users".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_core.h"

namespace {

enum { kTitle = 1, kVersion, kCompany, kHomepage, kDisplay, kDest, kWindir, kEnv, kRegistry, kFolder, kParts };

struct TSources : TPlaceholderSources {
  const std::vector<std::string>& v;
  bool common;
  explicit TSources(const std::vector<std::string>& values, bool c) : v(values), common(c) {}
  // Names of odd length are unset; the others share one value.
  std::string EnvVar(const std::string& name) override {
    if (name == "WINDIR") return v[kWindir];
    return name.size() % 2 ? std::string() : v[kEnv];
  }
  std::string RegistryText(uint32_t, const char*, const char*) override { return v[kRegistry]; }
  std::string SpecialFolder(int) override { return v[kFolder]; }
  bool CommonShortcuts() override { return common; }
};

size_t Longest(std::initializer_list<size_t> sizes) {
  size_t m = 0;
  for (size_t s : sizes) m = s > m ? s : m;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each reference "<%" name "%>" replaced walks the whole text once more: a few kilobytes of
  // input hold every case, and more only cost time.
  if (size > 2048) return -1;
  std::vector<std::string> v;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; v.size() < kParts; at = in.find('\0', at) + 1) {
    v.emplace_back(in.substr(at, in.find('\0', at) - at));
    if (in.find('\0', at) == std::string_view::npos) break;
  }
  v.resize(kParts);
  TAppInfoRec info{};
  info.AppTitle.Set(v[kTitle]);
  info.AppVersion.Set(v[kVersion]);
  info.Company.Set(v[kCompany]);
  info.Homepage.Set(v[kHomepage]);
  TSources src(v, size > 0 && (data[0] & 1));
  const std::string& templ = v[0];
  const std::string out = ExpandPlaceholders(templ, {&info, v[kDisplay], v[kDest]}, src);

  if (out.size() > kMaxExpanded) __builtin_trap();
  // Every token (nine characters at least) becomes at most the longest value plus the fixed
  // texts. Each step may multiply. Then each reference replaced spends a "%" of the template, and
  // a value without one brings no new "%", so at most that many become the longest variable.
  bool percent = false;
  for (size_t i = 1; i < v.size(); ++i) percent = percent || v[i].find('%') != std::string::npos;
  const size_t value = Longest({info.AppTitle.Len, info.AppVersion.Len, info.Company.Len, info.Homepage.Len,
                                v[kDisplay].size(), v[kDest].size() + 13, v[kWindir].size() + 22,
                                v[kRegistry].size() + 41, v[kFolder].size()});
  double bound = double(templ.size());
  for (int step = 0; step < 16 && bound < double(kMaxExpanded); ++step) bound += bound / 9 * double(value);
  const auto percents = std::count(templ.begin(), templ.end(), '%');
  bound += double(percents) * double(Longest({v[kWindir].size(), v[kEnv].size()}));
  if (!percent && double(out.size()) > bound) __builtin_trap();
  // Without a "<" nothing is a token or a reference; only backslash pairs change.
  if (templ.find('<') == std::string::npos && out != ReplaceAll(templ, "\\\\", "\\")) __builtin_trap();
  return 0;
}
