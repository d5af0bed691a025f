// What the uninstaller makes of an uninstall log.
#include "tools/cv2uinst/uninstall_log.h"

#include <algorithm>

namespace {

struct TTagName {
  TLogTag Tag;
  std::string_view Name;
};
constexpr TTagName TagNames[] = {
    {TLogTag::CreateDir, "CreateDir::"},         {TLogTag::CreateFile, "CreateFile::"},
    {TLogTag::CreateRegKey, "CreateRegKey::"},   {TLogTag::CreateRegValue, "CreateRegValue::"},
    {TLogTag::RegisterDLL, "RegisterDLL::"},     {TLogTag::Exec, "Exec::"},
};

constexpr std::string_view UninstallRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view UninstallKeys = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

char FoldAZ(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameAZ(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAZ(x) == FoldAZ(y); });
}

bool StartsWithAZ(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameAZ(text.substr(0, prefix.size()), prefix);
}

bool SameRegKey(const TRegPath& a, const TRegPath& b) { return SameAZ(a.Root, b.Root) && SameAZ(a.Key, b.Key); }

template <class T, class Same>
void AddOnce(std::vector<T>& list, T item, Same same) {
  for (const T& have : list)
    if (same(have, item)) return;
  list.push_back(std::move(item));
}

std::string_view TrimSlashes(std::string_view s) {
  while (!s.empty() && s.front() == '\\') s.remove_prefix(1);
  while (!s.empty() && s.back() == '\\') s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<TLogLine> ParseUninstallLog(std::string_view text) {
  std::vector<TLogLine> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const TTagName& t : TagNames) {
      if (line.size() > t.Name.size() && line.substr(0, t.Name.size()) == t.Name) {
        lines.push_back({t.Tag, std::string(line.substr(t.Name.size()))});
        break;
      }
    }
  }
  return lines;
}

bool SplitRegKey(std::string_view text, TRegPath& out) {
  size_t slash = text.find('\\');
  if (slash == 0 || slash == std::string_view::npos) return false;
  out.Root = std::string(text.substr(0, slash));
  out.Key = std::string(TrimSlashes(text.substr(slash + 1)));
  out.Value.clear();
  return !out.Key.empty();
}

bool SplitRegValue(std::string_view text, TRegPath& out) {
  size_t last = text.rfind('\\');
  if (last == std::string_view::npos || !SplitRegKey(text.substr(0, last), out)) return false;
  out.Value = std::string(text.substr(last + 1));
  return true;
}

std::string UnregisterCommand(std::string_view command) {
  size_t i = 0;
  while (i < command.size() && (command[i] == ' ' || command[i] == '\t')) ++i;
  if (i < command.size() && command[i] == '"') {
    size_t close = command.find('"', i + 1);
    i = close == std::string_view::npos ? command.size() : close + 1;
  } else {
    while (i < command.size() && command[i] != ' ' && command[i] != '\t') ++i;
  }
  return std::string(command.substr(0, i)) + " /u" + std::string(command.substr(i));
}

bool IsFullPath(std::string_view path) {
  if (path.size() >= 3 && FoldAZ(path[0]) >= 'a' && FoldAZ(path[0]) <= 'z' && path[1] == ':' && path[2] == '\\')
    return true;
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

std::string WithoutTrailingSlash(std::string_view path) {
  while (path.size() > 3 && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

std::string ParentDir(std::string_view path) {
  std::string_view p = path;
  while (!p.empty() && p.back() == '\\') p.remove_suffix(1);
  size_t slash = p.rfind('\\');
  return slash == std::string_view::npos ? std::string() : WithoutTrailingSlash(p.substr(0, slash + 1));
}

bool IsBelow(std::string_view path, std::string_view dir) {
  std::string d = WithoutTrailingSlash(dir);
  if (d.empty() || d.back() != '\\') d += '\\';
  std::string p = WithoutTrailingSlash(path);
  return p.size() > d.size() && StartsWithAZ(p, d);
}

TUninstallPlan PlanUninstall(const std::vector<TLogLine>& lines, std::string_view logFile) {
  TUninstallPlan plan;
  auto samePath = [](const std::string& a, const std::string& b) { return SameAZ(a, b); };
  for (const TLogLine& line : lines) {
    if (line.Tag == TLogTag::Exec) plan.Commands.push_back(line.Text);
    TRegPath reg;
    if (line.Tag == TLogTag::CreateRegValue && SameAZ(line.Text.substr(line.Text.rfind('\\') + 1), "UninstallString") &&
        SplitRegValue(line.Text, reg) && SameAZ(reg.Root, UninstallRoot) && StartsWithAZ(reg.Key, UninstallKeys) &&
        reg.Key.size() > UninstallKeys.size()) {
      reg.Value.clear();
      plan.UninstallKey = reg;  // the last entry written wins
    }
  }
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const std::string& text = it->Text;
    TRegPath reg;
    switch (it->Tag) {
      case TLogTag::RegisterDLL: plan.Unregister.push_back(UnregisterCommand(text)); break;
      case TLogTag::CreateFile:
        if (!IsFullPath(text)) break;
        if (SameAZ(text, logFile)) plan.LogFile = text;
        else AddOnce(plan.Files, text, samePath);
        break;
      case TLogTag::CreateRegValue:
        if (SplitRegValue(text, reg)) plan.Values.push_back(reg);
        break;
      case TLogTag::CreateRegKey:
        if (SplitRegKey(text, reg)) AddOnce(plan.Keys, reg, SameRegKey);
        break;
      case TLogTag::CreateDir: {
        std::string dir = WithoutTrailingSlash(text);
        if (IsFullPath(dir) && ParentDir(dir).size() >= 2) AddOnce(plan.Dirs, dir, samePath);
        break;
      }
      case TLogTag::Exec: break;
    }
  }
  return plan;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> args;
  size_t i = 0;
  while (true) {
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= commandLine.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
      char c = commandLine[i];
      if (c == '"') quoted = !quoted;
      else if (!quoted && (c == ' ' || c == '\t')) break;
      else arg += c;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string FormatLeftovers(const std::vector<std::string>& items, size_t limit) {
  std::string text;
  for (size_t i = 0; i < items.size() && i < limit; ++i) text += "\r\n" + items[i];
  if (items.size() > limit) text += "\r\n(and " + std::to_string(items.size() - limit) + " more)";
  return text;
}
