// Any text as a Setup Datasheet: datasheet::Read over a profile parsed from it, as the profile
// service parses an INI file, always gives a project; each section read whole (as loading reads
// it) answers every key of the text as the service answers it key by key; that project saved
// gives the file that the service makes of the keys of Entries written one by one, and read again
// is the same project, every key saved reading back as written.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "creator/creator_datasheet.h"

namespace {

bool Space(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

// Names compare with A to Z folded: each is kept folded beside its own spelling.
std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string UpToNul(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

// A profile in memory with the service's rules: a line ends at LF (or at CR when no LF follows),
// blanks around lines, names and values go, "[name]" opens a section (up to the last "]" of the
// line, the name without its blanks), a line without "=" is a key without value, names compare
// with A to Z folded, only the first section of a name and the first key of a name count, and a
// value asked for comes back with one enclosing pair of quotes removed; a section asked for whole
// comes as its lines but comments, each "name=value" or, without a value, "name", NUL after each.
class TProfile : public datasheet::TReader {
 public:
  struct TKey {
    std::string Name, Fold;
    std::optional<std::string> Value;
  };
  struct TSection {
    std::string Name, Fold;
    std::vector<TKey> Keys;
  };
  std::vector<TSection> Sections{{"", "", {}}};

  explicit TProfile(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.find('\r', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      pos = end + 1;
      while (!line.empty() && Space(line.front())) line.remove_prefix(1);
      while (!line.empty() && Space(line.back())) line.remove_suffix(1);
      if (line.empty()) continue;
      if (line.front() == '[') {
        if (size_t close = line.rfind(']'); close != std::string_view::npos && close > 0) {
          std::string_view inside = line.substr(1, close - 1);
          while (!inside.empty() && Space(inside.front())) inside.remove_prefix(1);
          while (!inside.empty() && Space(inside.back())) inside.remove_suffix(1);
          const std::string name = UpToNul(inside);
          Sections.push_back({name, Folded(name), {}});
          continue;
        }
      }
      TKey key;
      std::string_view name = line;
      if (size_t eq = line.find('='); eq != std::string_view::npos) {
        name = line.substr(0, eq);
        std::string_view value = line.substr(eq + 1);
        while (!value.empty() && Space(value.front())) value.remove_prefix(1);
        key.Value = UpToNul(value);
      }
      while (!name.empty() && Space(name.back())) name.remove_suffix(1);
      key.Name = UpToNul(name);
      key.Fold = Folded(key.Name);
      Sections.back().Keys.push_back(std::move(key));
    }
  }

  TSection* Find(std::string_view section) {
    const std::string fold = Folded(section);
    for (TSection& s : Sections)
      if (s.Fold == fold) return &s;
    return nullptr;
  }

  std::optional<std::string> Value(const std::string& section, const std::string& key) {
    if (TSection* s = Find(section))
      for (const std::string fold = Folded(key); const TKey& k : s->Keys)
        if (k.Fold == fold) {
          if (!k.Value) return std::nullopt;
          const std::string& v = *k.Value;
          if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            return v.substr(1, v.size() - 2);
          return v;
        }
    return std::nullopt;
  }

  // On the key list of the section (GetPrivateProfileStringA without a key name).
  bool Listed(const std::string& section, const std::string& key) {
    if (TSection* s = Find(section))
      for (const std::string fold = Folded(key); const TKey& k : s->Keys)
        if (k.Value && (k.Name.empty() || k.Name.front() != ';') && k.Fold == fold) return true;
    return false;
  }

  std::string Section(const std::string& section) override {
    std::string lines;
    if (TSection* s = Find(section))
      for (const TKey& k : s->Keys)
        if ((k.Name.empty() ? k.Value.has_value() : k.Name.front() != ';'))
          lines += k.Name + (k.Value ? "=" + *k.Value : "") + '\0';
    return lines;
  }

  // One key written: into the first section of its name (appended when missing), replacing the
  // first key of its name (appended when missing); leading blanks of the value are not kept.
  void Write(const std::string& section, const std::string& key, std::string_view value) {
    TSection* s = Find(section);
    if (!s) s = &Sections.emplace_back(TSection{section, Folded(section), {}});
    while (!value.empty() && Space(value.front())) value.remove_prefix(1);
    const std::string fold = Folded(key);
    for (TKey& k : s->Keys)
      if (k.Fold == fold) {
        k.Value = std::string(value);
        return;
      }
    s->Keys.push_back({key, fold, std::string(value)});
  }

  std::string Text() const {
    std::string out;
    for (const TSection& s : Sections) {
      if (!s.Name.empty()) out += "[" + s.Name + "]\r\n";
      for (const TKey& k : s.Keys) out += k.Name + (k.Value ? "=" + *k.Value : "") + "\r\n";
    }
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return -1;  // every branch of the reader shows in a few kilobytes
  TProfile original(std::string_view(reinterpret_cast<const char*>(data), size));
  const datasheet::TDatasheet loaded = datasheet::Read(original);

  // Each entry is at least one line of the input.
  const size_t entries = loaded.Files.size() + loaded.Registry.size() + loaded.Shortcuts.size() +
                         loaded.Dlls.size() + loaded.PostInstall.size() + loaded.PreUninstall.size() +
                         loaded.Packages.size();
  if (entries > size / 2) __builtin_trap();

  // Of a text: a NUL byte ends the service's line where it stands, so that blanks before it stay in
  // a value asked for by itself, where the section read whole loses them.
  const bool text = std::string_view(reinterpret_cast<const char*>(data), size).find('\0') == std::string_view::npos;
  for (const TProfile::TSection& s : original.Sections) {
    if (s.Name.empty() || !text) continue;
    const datasheet::TSection whole(original.Section(s.Name));
    for (const TProfile::TKey& k : s.Keys) {
      if (!k.Name.empty() && k.Name.front() == ';') continue;  // a comment, never asked for
      if (whole.Value(k.Name) != original.Value(s.Name, k.Name) || whole.Has(k.Name) != original.Listed(s.Name, k.Name))
        __builtin_trap();
    }
  }

  TProfile saved("");
  const std::vector<datasheet::TEntry> keys = datasheet::Entries(loaded);
  for (const datasheet::TEntry& e : keys) saved.Write(e.Section, e.Key, e.Value);
  if (datasheet::FileText(keys) != saved.Text()) __builtin_trap();
  TProfile reread(saved.Text());
  for (const datasheet::TEntry& e : keys) {
    std::string want = e.Value;
    if (want.size() >= 2 && want.front() == '"' && want.back() == '"') want = want.substr(1, want.size() - 2);
    if (reread.Value(e.Section, e.Key) != want) __builtin_trap();
  }
  if (!(datasheet::Read(reread) == loaded)) __builtin_trap();
  return 0;
}
