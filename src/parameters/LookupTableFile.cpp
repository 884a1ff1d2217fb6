#include "LookupTableFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ';')) fields.push_back(field);
  if (!line.empty() && line.back() == ';') fields.emplace_back();
  return fields;
}

}  // namespace

bool ReadLookupTableColumns(const std::string& file, std::vector<std::string>& columns) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::vector<std::string> header = SplitFields(line);
  columns.assign(header.size() > 1 ? header.begin() + 1 : header.end(), header.end());
  return true;
}

bool ReadLookupTable(const std::string& file, const std::string& column, std::vector<int64_t>& indices,
                     std::vector<int64_t>& values, std::string* why) {
  std::ifstream in(file);
  if (!in) {
    if (why != nullptr) *why = "the file cannot be opened";
    return false;
  }
  return ReadLookupTable(in, column, indices, values, why);
}

bool ReadLookupTable(std::istream& in, const std::string& column, std::vector<int64_t>& indices,
                     std::vector<int64_t>& values, std::string* why) {
  const auto fail = [why](std::string reason) {
    if (why != nullptr) *why = std::move(reason);
    return false;
  };
  std::string line;
  if (!std::getline(in, line)) return fail("the file has no header line");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::vector<std::string> header = SplitFields(line);
  std::size_t chosen = 0;
  for (std::size_t i = 1; i < header.size(); ++i) {
    if (header[i] == column) {
      chosen = i;
      break;
    }
  }
  if (header.size() < 2 || chosen == 0) return fail("the header names no column '" + column + "'");
  for (int number = 2; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() <= chosen) return fail("line " + std::to_string(number) + " has no value in the column");
    // strtoll rather than atoll: a number beyond the range gives its limit, not undefined behaviour.
    indices.push_back(std::strtoll(fields[0].c_str(), nullptr, 10));
    values.push_back(std::strtoll(fields[chosen].c_str(), nullptr, 10));
  }
  return true;
}
