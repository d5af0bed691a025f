#include "creator/creator_itemrules.h"

#include <algorithm>

namespace items {

std::string LowerAZ(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

bool SameTextAZ(std::string_view a, std::string_view b) { return LowerAZ(a) == LowerAZ(b); }

std::string DestinationFolder(std::string_view folder) {
  std::string r(folder);
  if (r.empty() || r.back() != '\\') r += '\\';
  return r;
}

std::string FileNamePart(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

Row FileEntryRow(std::string_view destFolder, std::string_view source, std::string_view package) {
  return {std::string(destFolder) + FileNamePart(source), std::string(source), std::string(package)};
}

bool IsNewPackage(const std::vector<std::string>& packages, std::string_view name) {
  return std::none_of(packages.begin(), packages.end(),
                      [&](const std::string& p) { return SameTextAZ(p, name); });
}

bool RegistryFormComplete(std::string_view path, std::string_view value) {
  return !path.empty() && !value.empty();
}

std::string NormaliseRegistryPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return DestinationFolder(path);
}

Row RegistryEntryRow(std::string_view root, std::string_view normalisedPath, std::string_view key,
                     std::string_view value, std::string_view type) {
  return {std::string(root) + '\\' + std::string(normalisedPath), std::string(key),
          std::string(value), std::string(type)};
}

std::string ExtensionOf(std::string_view destination) {
  size_t dot = destination.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = destination.substr(dot);
  if (ext.find_first_of("\\:") != std::string_view::npos) return {};
  return LowerAZ(ext);
}

namespace {
template <class Pred>
std::vector<std::string> Pick(const std::vector<std::string>& destinations, Pred wanted) {
  std::vector<std::string> r;
  for (const std::string& d : destinations)
    if (wanted(ExtensionOf(d))) r.push_back(d);
  return r;
}
}  // namespace

std::vector<std::string> ShortcutTargets(const std::vector<std::string>& destinations) {
  std::vector<std::string> r(destinations);
  r.push_back(kUninstall);
  return r;
}

std::vector<std::string> ShortcutIcons(const std::vector<std::string>& destinations) {
  return Pick(destinations,
              [](const std::string& e) { return e == ".exe" || e == ".dll" || e == ".ico"; });
}

std::vector<std::string> DllChoices(const std::vector<std::string>& destinations) {
  return Pick(destinations, [](const std::string& e) { return e == ".dll" || e == ".ocx"; });
}

bool ShortcutEntriesValid(bool targetChosen, std::string_view location, std::string_view caption) {
  return targetChosen && !location.empty() && !caption.empty();
}

Row ShortcutEntryRow(std::string_view location, std::string_view caption, std::string_view target,
                     std::string_view parameters, bool useIcon, std::string_view icon, int iconIndex) {
  return {std::string(location),
          std::string(caption),
          std::string(target),
          std::string(parameters),
          useIcon ? std::string(icon) : std::string(),
          useIcon ? std::to_string(iconIndex) : std::string("0")};
}

bool UsesTahoma(unsigned major, unsigned minor) { return (major == 4 && minor > 0) || major > 4; }

}  // namespace items
