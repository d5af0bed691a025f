// Any bytes as a registry export: the reader never fails, and every row it gives fits the setup data
// and a datasheet line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "creator/creator_regimport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TRegImportResult r = ParseRegExport(std::vector<uint8_t>(data, data + size));
  for (const TRegImportRow& row : r.Rows) {
    if (row.Key.size() > RegFieldMax || row.Value.size() > RegFieldMax || row.Value.empty()) abort();
    // A line break would cut the row's datasheet line in two.
    if ((row.Key + row.Value).find_first_of("\r\n") != std::string::npos) abort();
    if (row.Type != "String" && row.Type != "Binary Data" && row.Type != "Integer") abort();
  }
  RegImportNotice(r);
  return 0;
}
