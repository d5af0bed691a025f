// Reading a registry export file (.reg) into rows of the Registry list.
//
// The export is text in 8-bit characters or, after the byte-order mark FF FE, UTF-16 little-endian.
// Line 1 (the header) is skipped. A key line "[ROOT\path]" sets the path of the values after it; a
// value line is "name"=data, where the data is a string in double quotes, hex:bytes or dword:digits;
// a value line ending in a backslash continues on the next line, which loses its first two
// characters (the indent the registry editor writes). Everything else carries nothing: empty lines,
// comments, the default value (@=...), deletion markers and other types such as hex(2) or hex(7),
// together with their continuation lines.
//
// Each value becomes one row (Path, Key, Value, Type), added at the line that completes it:
//   "name"="text"        Value the text as the export wrote it, but with \" as ", "String"
//   "name"=hex:01,AB,ff  Value "hex:01,ab,ff" (the bytes, two lower-case digits each), "Binary Data"
//   "name"=dword:0000002a  Value "$0000002a", "Integer"
// The Key is the name with the backslash of each escape dropped, but a run of two or more
// backslashes doubled. The setup runtime collapses each pair of backslashes in names and strings
// into one, so the string's doubled backslashes, and the name's, install as the exported ones.
// An empty string or byte list makes no row. A value that the setup data cannot carry (a text longer
// than 255 characters, so binary data of more than 84 bytes, or, in a UTF-16 export, a character
// the ANSI code page lacks) makes no row either and is listed among those not imported, and so is
// a name or a string with a line break (\n or \r), which a datasheet cannot hold, a malformed value
// line (a string without its closing quote, a dword of other than hexadecimal digits, a byte list
// with a gap, ...) and a value that the end of the file cuts off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TRegImportRow {
  std::string Path;   // the text between the brackets of the key line, as written
  std::string Key;    // the value name
  std::string Value;  // the data as the setup runtime reads it
  std::string Type;   // "String", "Binary Data" or "Integer"
};

struct TRegImportResult {
  std::vector<TRegImportRow> Rows;
  std::vector<std::string> NotImported;  // one line per value left out: where it is and why
};

// Converts UTF-16 text to the ANSI code page; false when some character has no form there (the
// text then holds a substitute). The portable one carries U+0000 to U+00FF as the bytes 00 to FF.
using TWideToAnsi = bool (*)(const std::u16string& wide, std::string& ansi);
bool Latin1FromWide(const std::u16string& wide, std::string& ansi);

// The longest text a field of the setup data holds, and the most bytes of binary data that fit.
inline constexpr size_t RegFieldMax = 255;
inline constexpr size_t RegBinaryMax = (RegFieldMax - 4 + 1) / 3;  // "hex:" and "xx," per byte: 84

// Windows only: the conversion into the ANSI code page of the system, and reading an export file
// whole (false, with the system's reason in error, when it cannot be read).
bool AnsiFromWide(const std::u16string& wide, std::string& ansi);
bool ReadRegExportFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

TRegImportResult ParseRegExport(const std::vector<uint8_t>& file, TWideToAnsi toAnsi = Latin1FromWide);

// The message telling which values were not imported; empty when every value was.
std::string RegImportNotice(const TRegImportResult& result);
