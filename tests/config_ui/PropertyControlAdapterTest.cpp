// The adapters between parameters and grid items: which adapter, which item, and the value both ways.

#include "config_ui/PropertyControlAdapter.h"
#include "parameters/LookupTableFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

// A parameter class the system never makes.
class OddParam : public Param<std::string> {
 public:
  OddParam() : Param<std::string>("g", "Odd", "x") {}
};

TEST(PropertyControlAdapters, TheFactoryMatchesExactTypesSharesAdaptersAndGivesLUTtableAFreshFileAdapter) {
  Param<int> a("g", "A", 1, 0, 10, 1), b("g", "B", 2, 0, 10, 1);
  EXPECT_EQ(PropertyControlAdapter::For(a), PropertyControlAdapter::For(b));
  ParamEnum mode("g", "Mode", "");
  EXPECT_NE(std::dynamic_pointer_cast<PropertyControlAdapterEnum>(PropertyControlAdapter::For(mode)), nullptr)
      << "an enumeration is not taken for its text base";
  Param<std::string> table("g", "lutTABLE", "t.csv"), other("g", "LUTtable", "u.csv");
  const auto first = PropertyControlAdapter::For(table);
  EXPECT_NE(std::dynamic_pointer_cast<PropertyControlAdapterFile>(first), nullptr);
  EXPECT_NE(first, PropertyControlAdapter::For(other)) << "a fresh one each time";
  OddParam odd;
  try {
    PropertyControlAdapter::For(odd);
    FAIL() << "no adapter for an unknown type";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unsupported parameter type");
  }
}

TEST(PropertyControlAdapters, ItemsCarryLabelFormatEditableFlagAndTheEnumerationsSelectedEntry) {
  CPropertyGrid grid;
  const int section = grid.AddSection("S");
  Param<double> gain("g", "Gain", 1.5, 0.0, 10.0, 0.1);
  gain.set_option("FriendlyName", std::string("Gain (dB)"));
  gain.enabled = false;
  const int item = PropertyControlAdapter::For(gain)->CreateItem(gain, grid, section);
  const CPropertyGrid::Item* shown = grid.GetItem(item);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->name, "Gain (dB)");
  EXPECT_FALSE(shown->editable) << "a disabled parameter is read-only";
  EXPECT_EQ(shown->options, std::vector<std::string>{""}) << "no Format: an empty format";

  ParamEnum mode("g", "Mode", "");
  mode.add_entry("Zero", 0);
  mode.add_entry("Five", 5);
  mode.add_entry("AlsoZero", 0);
  mode.value = "Missing";  // not among the entries: counts as entry value 0
  const int combo = PropertyControlAdapter::For(mode)->CreateItem(mode, grid, section);
  int64_t index = -1;
  EXPECT_TRUE(grid.GetItemValue(combo, index));
  EXPECT_EQ(index, 2) << "the last entry whose value is 0";
  EXPECT_TRUE(grid.SetItemValue(combo, int64_t{1}));
  PropertyControlAdapter::For(mode)->ReadValueFromItem(mode, grid, combo);
  EXPECT_EQ(mode.value, "Five");
  mode.value = "Zero";
  PropertyControlAdapter::For(mode)->WriteValueToItem(mode, grid, combo);
  EXPECT_TRUE(grid.GetItemValue(combo, index));
  EXPECT_EQ(index, 0);

  Param<std::string> table("g", "LUTtable", "gamma.csv");
  const int file = PropertyControlAdapter::For(table)->CreateItem(table, grid, section);
  EXPECT_EQ(grid.GetItem(file)->type, IT_FILE);
  EXPECT_EQ(grid.GetItem(file)->options, std::vector<std::string>{"LUT table (*.csv)|*.csv||"});
}

TEST(PropertyControlAdapters, WrongTypesAndRefusedValuesFailWithTheirTextsAndLeaveTheParameter) {
  CPropertyGrid grid;
  const int section = grid.AddSection("S");
  Param<int> table("g", "LUTtable", 3, 0, 10, 1);
  try {
    PropertyControlAdapter::For(table)->CreateItem(table, grid, section);
    FAIL() << "the file adapter reads text";
  } catch (const std::bad_cast& e) {
    EXPECT_STREQ(e.what(), "Wrong parameter 'LUTtable' type");
  }
  Param<unsigned int> width("g", "Width", 640u, 1u, 4096u, 1u);
  const auto adapter = PropertyControlAdapter::For(width);
  const int item = adapter->CreateItem(width, grid, section);
  EXPECT_TRUE(grid.SetItemValue(item, uint32_t{1024}));
  adapter->ReadValueFromItem(width, grid, item);
  EXPECT_EQ(width.value, 1024u);
  try {
    adapter->ReadValueFromItem(width, grid, 999);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Failed to get control 'Width' value");
  }
  EXPECT_EQ(width.value, 1024u);
  try {
    adapter->WriteValueToItem(width, grid, 999);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Failed to set control 'Width' value");
  }
  width.value = 5000;  // stored as it is: no range test, no clamping
  adapter->WriteValueToItem(width, grid, item);
  uint32_t shown = 0;
  EXPECT_TRUE(grid.GetItemValue(item, shown));
  EXPECT_EQ(shown, 5000u);
}

// The columns a configuration page offers for "LUTtableRow": the header's, without the index.
TEST(LookupTableFiles, TheHeaderNamesTheColumnsAfterTheIndex) {
  const std::string file = ::testing::TempDir() + "korvex-columns.csv";
  std::ofstream(file) << "index;gamma 0.8;linear\r\n0;0;0\r\n";
  std::vector<std::string> columns;
  ASSERT_TRUE(ReadLookupTableColumns(file, columns));
  EXPECT_EQ(columns, (std::vector<std::string>{"gamma 0.8", "linear"}));
  EXPECT_FALSE(ReadLookupTableColumns(file + ".missing", columns));
}

}  // namespace
