#pragma once
// The lookup-table file: a header line "index;column;column;..." and then one line per index with
// a value in each column, fields separated by ';'. Read by the camera when it loads a table and
// by the configuration page for the names of the columns a user may pick.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// The column names of the header, the index column left out; false when the file cannot be read.
bool ReadLookupTableColumns(const std::string& file, std::vector<std::string>& columns);
// The index and value lists of column `column`; false when the file does not serve, and then `why`
// (if given) says why.
bool ReadLookupTable(const std::string& file, const std::string& column, std::vector<int64_t>& indices,
                     std::vector<int64_t>& values, std::string* why = nullptr);
// The same from a stream holding the file's text.
bool ReadLookupTable(std::istream& in, const std::string& column, std::vector<int64_t>& indices,
                     std::vector<int64_t>& values, std::string* why = nullptr);
