// The parameter model: the two conversion tables at their corners, the text forms and the
// enumeration rules.

#include "parameters/Param.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <typeinfo>

namespace {

template <typename F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no exception";
}

TEST(ParamConversions, ReadingANumberInEveryRequestedType) {
  Param<int> width("General", "Width", 512, 1, 2048, 0);
  EXPECT_EQ(width.val<double>(), 512.0);
  EXPECT_TRUE(width.val<bool>());
  EXPECT_EQ(width.minval<int64_t>(), 1);
  EXPECT_EQ(width.maxval<unsigned int>(), 2048u);
  EXPECT_EQ(ErrorOf([&] { width.val<std::string>(); }),
            "Param_::get_val_all unrecognized type or unsupported combination param= Width");

  Param<int> negative("General", "N", -1, -5, 5, 0);
  EXPECT_EQ(negative.val<int64_t>(), -1) << "sign-extended";
  EXPECT_EQ(negative.val<unsigned int>(), 4294967295u) << "the 32 bits as they are";

  Param<double> d("General", "D", 2.9, -10, 10, 0);
  EXPECT_EQ(d.val<int>(), 2);
  d.value = -2.9;
  EXPECT_EQ(d.val<int>(), -2) << "toward zero";
  EXPECT_EQ(d.val<int64_t>(), -2);
  d.value = 1e30;
  EXPECT_EQ(d.val<int>(), std::numeric_limits<int>::max()) << "saturates rather than overflowing";
  d.value = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(d.val<int>(), 0);

  Param<int64_t> big("General", "Big", (int64_t{1} << 32) + 5, 0, int64_t{1} << 40, 0);
  EXPECT_EQ(big.val<int>(), 5) << "low 32 bits";
  EXPECT_EQ(ErrorOf([&] { big.val<double>(); }),
            "Param_::get_val_all unrecognized type or unsupported combination param= Big");

  Param<unsigned int> u("General", "U", 4294967295u, 0, 4294967295u, 0);
  EXPECT_EQ(u.val<int64_t>(), 4294967295) << "zero-extended";
  EXPECT_EQ(u.val<double>(), 4294967295.0);

  Param<bool> flag("General", "Flag", true);
  EXPECT_EQ(ErrorOf([&] { flag.val<int>(); }),
            "Param_::get_val_all unrecognized type or unsupported combination param= Flag");
  EXPECT_TRUE(flag.val<bool>());
}

TEST(ParamConversions, ReadingText) {
  Param<std::string> text("General", "T", std::string("12abc"));
  EXPECT_EQ(text.val<int>(), 12);
  EXPECT_TRUE(text.val<bool>());
  EXPECT_EQ(text.val<std::string>(), "12abc");
  text.value = "abc";
  EXPECT_EQ(text.val<int>(), 0);
  EXPECT_FALSE(text.val<bool>());
  text.value = "-7";
  EXPECT_EQ(text.val<int64_t>(), -7);
  text.value = "2.5";
  EXPECT_EQ(text.val<double>(), 2.5);
  text.value = "99999999999999";
  EXPECT_EQ(text.val<int>(), std::numeric_limits<int>::max());
  std::string untouched = "keep";
  text.get_val_all(ptString, &untouched, false, true, false);
  EXPECT_EQ(untouched, "keep") << "min and max requests write no text";
}

TEST(ParamConversions, WritingIntoEveryStoredType) {
  Param<double> d("General", "D", 0, 0, 0, 0);
  d.val(int64_t{1} << 40);
  EXPECT_EQ(d.value, 1099511627776.0);
  d.val(4294967295u);
  EXPECT_EQ(d.value, -1.0) << "an unsigned datum converts as a signed int";

  Param<int64_t> i64("General", "I", 0, 0, 0, 0);
  i64.val(4294967295u);
  EXPECT_EQ(i64.value, -1) << "sign-extended also for an unsigned datum";
  i64.maxval(7.9);
  EXPECT_EQ(i64.max, 7);
  EXPECT_EQ(i64.value, -1) << "only the selected field";

  Param<int> i("General", "I", 0, 0, 0, 0);
  i.val((int64_t{1} << 32) + 3);
  EXPECT_EQ(i.value, 3);
  i.val(-3.7);
  EXPECT_EQ(i.value, -3);

  Param<unsigned int> u("General", "U", 0, 0, 0, 0);
  u.val(4294967301.5);  // 2^32 + 5: truncated to 64 bits, low 32 kept
  EXPECT_EQ(u.value, 5u);

  Param<bool> b("General", "Flag", true);
  b.val(int64_t{1} << 32);
  EXPECT_FALSE(b.value) << "only the low 32 bits are tested";
  b.val(2);
  EXPECT_TRUE(b.value);
  b.minval(0);
  EXPECT_TRUE(b.min) << "a bool's bounds are never written";
  EXPECT_EQ(ErrorOf([&] { b.val(1.0); }), "Param_::setval() unrecognized type or unsupported combination, type=3, param= Flag");
  EXPECT_TRUE(b.value) << "a refused write changes nothing";

  Param<std::string> s("General", "S", std::string("x"));
  s.val("literal");
  EXPECT_EQ(s.value, "literal");
  s.val(std::string("string"));
  EXPECT_EQ(s.value, "string");
  EXPECT_EQ(ErrorOf([&] { s.val(5); }), "Param_::setval() unrecognized type or unsupported combination, type=0, param= S");
  EXPECT_EQ(ErrorOf([&] { i.val(std::string("5")); }),
            "Param_::setval() unrecognized type or unsupported combination, type=5, param= I");
}

TEST(ParamConversions, NullPointersAndUnknownTypesAreRefused) {
  Param<int> i("General", "I", 1, 0, 2, 0);
  EXPECT_EQ(ErrorOf([&] { i.get_val_all(ptInt, nullptr, true, false, false); }), "Param_::get_val_all data==0");
  EXPECT_EQ(ErrorOf([&] { i.set_val_all(ptInt, nullptr, true, false, false); }), "Param_::set_val_all data==0");
  int out = 0;
  EXPECT_EQ(ErrorOf([&] { i.get_val_all(ptCString, &out, true, false, false); }),
            "Param_::get_val_all unrecognized type or unsupported combination param= I");
  EXPECT_EQ(ErrorOf([&] { i.val<float>(); }), "Param_::val() unrecognized type");
  EXPECT_EQ(ErrorOf([&] { i.minval<bool>(); }), "Param_::minval() unrecognized type");
  EXPECT_EQ(ErrorOf([&] { i.maxval<std::string>(); }), "Param_::maxval(R v) unrecognized type");
  EXPECT_EQ(ErrorOf([&] { i.val(2.5f); }), "Param_::val(R v) unrecognized type");
  EXPECT_EQ(ErrorOf([&] { i.minval(true); }), "Param_::minval(R v) unrecognized type");
  EXPECT_EQ(ErrorOf([&] { i.maxval(std::string("9")); }), "Param_::maxval(R v) unrecognized type");
  EXPECT_EQ(i.value, 1);
}

TEST(ParamText, DoublesSurviveTheRoundTripExactly) {
  Param<double> d("General", "D", 0.1, 0, 1, 0);
  EXPECT_STREQ(d.get_string(), "0.10000000000000001");
  d.value = 0;
  d.set_string("0.10000000000000001", false);
  EXPECT_EQ(d.value, 0.1);
  for (double v : {1.0 / 3.0, 123456.789e-200, -2.5e300}) {
    d.value = v;
    const std::string text = d.get_string();
    d.set_string(text, false);
    EXPECT_EQ(d.value, v) << text;
  }
}

TEST(ParamText, ParsingAndClamping) {
  Param<int> i("General", "Height", 512, 0, 4095, 0);
  i.set_string("5000", true);
  EXPECT_EQ(i.value, 4095);
  i.set_string("5000", false);
  EXPECT_EQ(i.value, 5000);
  EXPECT_FALSE(i.in_range());
  i.set_string("-3", true);
  EXPECT_EQ(i.value, 0);
  i.set_string("", false);
  EXPECT_EQ(i.value, 0);
  i.set_string("77 trailing", false);
  EXPECT_EQ(i.value, 77);

  Param<int64_t> big("General", "Big", 0, 0, 0, 0);
  big.set_string("-9000000000", false);
  EXPECT_EQ(big.value, -9000000000);
  EXPECT_STREQ(big.get_string(), "-9000000000");

  Param<bool> b("General", "Flag", false);
  EXPECT_STREQ(b.get_string(), "0");
  b.set_string("7", false);
  EXPECT_TRUE(b.value);
  EXPECT_STREQ(b.get_string(), "1");
  b.set_string("1", true);
  EXPECT_FALSE(b.value) << "min = max = the initial value";

  Param<std::string> s("General", "S", std::string("m"));
  s.min = "b";
  s.max = "p";
  s.set_string("a", true);
  EXPECT_EQ(s.value, "b");
  s.set_string("z", true);
  EXPECT_EQ(s.value, "p");
}

TEST(ParamText, PrintAndPrintRange) {
  Param<int> width("General", "Width", 512, 1, 2048, 0);
  std::ostringstream out;
  width.print(out);
  width.print_range(out);
  EXPECT_EQ(out.str(), "Width=512\n[1..2048]");
}

TEST(ParamEnumRules, EntriesValuesAndRange) {
  ParamEnum library("General", "AdvantechLibrary", "");
  EXPECT_EQ(library.minval<int>(), 0);
  EXPECT_EQ(library.maxval<int>(), 0);
  library.add_entry("", 5);
  library.add_entry(nullptr, 6);
  EXPECT_TRUE(library.entries.empty());
  library.add_entry("Adsapi", 0);
  EXPECT_EQ(library.value, "Adsapi") << "the first entry becomes the value";
  library.add_entry("BioDAQ", 1);
  EXPECT_EQ(library.value, "Adsapi");

  library.value = "BioDAQ";
  EXPECT_EQ(library.val<int>(), 1);
  EXPECT_EQ(library.val<double>(), 1.0);
  EXPECT_EQ(library.minval<int>(), 0);
  EXPECT_EQ(library.maxval<int>(), 1);
  EXPECT_EQ(library.val<std::string>(), "BioDAQ");
  EXPECT_TRUE(library.in_range());

  library.val("Other");
  EXPECT_EQ(library.val<int>(), 0);
  EXPECT_FALSE(library.in_range());
  library.select_value(1);
  EXPECT_EQ(library.value, "BioDAQ");
  library.select_value(42);
  EXPECT_EQ(library.value, "BioDAQ");
  library.value = "biodaq";
  EXPECT_FALSE(library.in_range()) << "entries match case-sensitively";

  library.add_entry("Negative", -4);
  EXPECT_EQ(library.min_entry_value(), -4);
}

TEST(ParamOptionsAndCopies, OptionsCloneAndAssign) {
  Param<int> delay("Line Counter", "Delay", 3, 0, 9, 0);
  const std::string missing = ErrorOf([&] { delay.get_option<std::string>("FriendlyName"); });
  EXPECT_EQ(missing, "Parameter Delay does not have option FriendlyName");
  delay.set_option("FriendlyName", std::string("Y Delay"));
  delay.set_option("FriendlyName", std::string("Y Delay 2"));
  EXPECT_EQ(delay.get_option<std::string>("FriendlyName"), "Y Delay 2");
  EXPECT_THROW(delay.get_option<int64_t>("FriendlyName"), std::bad_cast);

  delay.get_string();
  std::unique_ptr<Param_> copy(delay.clone());
  auto& typed = dynamic_cast<Param<int>&>(*copy);
  EXPECT_EQ(typed.value, 3);
  EXPECT_EQ(typed.text, "3") << "a clone copies the text buffer too";
  EXPECT_EQ(copy->get_option<std::string>("FriendlyName"), "Y Delay 2");

  Param<int> target("Other", "Target", 0, 0, 0, 5);
  target.enabled = false;
  target.assign(delay);
  EXPECT_EQ(target.name, "Delay");
  EXPECT_TRUE(target.enabled);
  EXPECT_EQ(target.max, 9);
  EXPECT_EQ(target.increment, 0);
  EXPECT_EQ(target.text, "") << "assign leaves the text buffer";

  Param<double> other("General", "D", 1, 0, 2, 0);
  EXPECT_THROW(target.assign(other), std::bad_cast);
  EXPECT_EQ(target.name, "Delay") << "a refused assign changes nothing";

  ParamEnum library("General", "AdvantechLibrary", "Adsapi");
  library.add_entry("Adsapi", 0);
  Param<std::string> text("General", "T", std::string("BioDAQ"));
  library.assign(text);
  EXPECT_EQ(library.value, "BioDAQ");
  EXPECT_EQ(library.entries.size(), 1u) << "assign onto an enumeration keeps its entries";
  std::unique_ptr<Param_> enumCopy(library.clone());
  EXPECT_EQ(dynamic_cast<ParamEnum&>(*enumCopy).entries, library.entries);
}

}  // namespace
