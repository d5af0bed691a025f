// Any text as setup.exe's command line: SplitCommandLine, ParseSetupArgs and the "|" lists end,
// lose no character but the blanks and quotes that delimit arguments, give back only what the
// text holds, and give what the list rules as written give. The first byte also picks a separator
// for NormalizeList on the rest.
#include <cstddef>
#include <cstdint>
#include <string>

#include "setup/setup_core.h"
#include "tests/native/list_rules.h"

namespace {

// The characters of s other than those of drop.
std::string Without(const std::string& s, const std::string& drop) {
  std::string out;
  for (char c : s)
    if (drop.find(c) == std::string::npos) out += c;
  return out;
}

std::string Blanks() {
  std::string b(1, '"');
  for (int c = 1; c <= ' '; ++c) b += char(c);
  return b;
}

void CheckList(const std::string& s, char sep) {
  const std::string n = NormalizeList(s, sep);
  if (n != rules::NormalizeList(s, sep)) __builtin_trap();
  // Every item followed by one separator, none empty, unless the list has no items.
  if (n.empty() || n.back() != sep || n.size() > s.size() + 1) __builtin_trap();
  if (n.size() > 1 && n.front() == sep) __builtin_trap();
  if (n.find(std::string(2, sep)) != std::string::npos) __builtin_trap();
  if (n.substr(0, n.size() - 1).find("\r\n") != std::string::npos) __builtin_trap();
  // The items' characters are the text's, in order.
  const std::string mark = std::string(1, sep) + "\r\n";
  if (Without(n, mark) != Without(s, mark)) __builtin_trap();
  const int32_t count = CountListItems(s, sep);
  int32_t seps = 0;
  for (char c : n) seps += c == sep;
  if (count != seps || count < 1) __builtin_trap();
  if (!GetListItem(s, 0, sep).empty() || !GetListItem(s, count + 1, sep).empty()) __builtin_trap();
  // The items joined again give the normalised list (the first few: each lookup normalises anew).
  size_t at = 0;
  for (int32_t k = 1; k <= count && k <= 3; ++k) {
    const std::string item = GetListItem(s, k, sep);
    if (n.compare(at, item.size(), item) != 0 || n[at + item.size()] != sep) __builtin_trap();
    at += item.size() + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A command line is short, and the list rules show in a few hundred bytes; the rules as written
  // normalise the whole list again for every item of a "/p:" list, so long lists only cost time.
  if (size > 512) return -1;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string line = text.substr(0, text.find('\0'));  // the command line ends at its zero

  const TStringList args = SplitCommandLine(("setup.exe " + line).c_str());
  std::string joined;
  for (const std::string& a : args) {
    if (a.find('"') != std::string::npos) __builtin_trap();
    joined += a;
  }
  if (joined.size() > line.size() || Without(joined, Blanks()) != Without(line, Blanks())) __builtin_trap();

  const TSetupCommandLine cl = ParseSetupArgs(args);
  bool unattended = false, dest = false, parts = false;
  std::string lastDest;
  TStringList names;
  for (const std::string& a : args) {
    if (LowerAZ(a) == "/u") {
      unattended = true;
    } else if (a.starts_with("/d:")) {
      dest = true;
      lastDest = a.substr(3);
    } else if (a.starts_with("/p:")) {
      parts = true;
      for (const std::string& name : rules::ListNames(a.substr(3))) names.push_back(name);
    }
  }
  if (cl.Unattended != unattended || cl.HasDest != dest || cl.Dest != lastDest || cl.HasParts != parts ||
      cl.Parts != names)
    __builtin_trap();
  size_t partChars = 0;
  for (const std::string& p : cl.Parts) {
    if (p.find('|') != std::string::npos) __builtin_trap();
    partChars += p.size();
  }
  if (partChars > line.size()) __builtin_trap();

  if (size > 0) CheckList(text.substr(1), char(data[0]));
  return 0;
}
