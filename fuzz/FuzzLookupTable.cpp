// The lookup-table file a user picks in the dialog: any bytes, read for its columns and for the
// values of the first column the header names.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "parameters/LookupTableFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string header = text.substr(0, text.find('\n'));
  const std::size_t first = header.find(';');
  const std::string column = first == std::string::npos ? "" : header.substr(first + 1, header.find(';', first + 1) - first - 1);
  std::istringstream in(text);
  std::vector<int64_t> indices, values;
  std::string why;
  ReadLookupTable(in, column, indices, values, &why);
  return 0;
}
