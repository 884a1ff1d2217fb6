// The ejector command grammar and its line buffer.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "ejector/Ejector.h"
#include "support/LogCapture.h"

namespace {

class EjectorCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ejector.Buffer().Init(Ejector::kLines));
    ejector.SetCurrentLineValue(100);
  }
  EjectorCommand Take(int line) {
    EjectorCommand command{};
    EXPECT_TRUE(ejector.Buffer().ReadCommand(line, &command));
    return command;
  }
  static std::vector<int> Bytes(const uint8_t (&b)[4]) { return {b[0], b[1], b[2], b[3]}; }

  LogCapture log;
  Ejector ejector;
};

TEST_F(EjectorCommands, TheThreeFormsFillBytesCallbackAndMaskLeastSignificantByteFirst) {
  ejector.SetLine("EjectorLine 120 12345678");
  ejector.SetLine("EjectorLine 10121 000000FF 1");
  ejector.SetLine("EjectorLine 122 0000FF00 0 0000F000");
  EjectorCommand plain = Take(120);
  EXPECT_EQ(Bytes(plain.bytes), (std::vector<int>{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(plain.assigned, 1);
  EXPECT_EQ(plain.callback, 0);
  EXPECT_EQ(Bytes(plain.mask), (std::vector<int>{0, 0, 0, 0}));
  EjectorCommand wrapped = Take(121);
  EXPECT_EQ(wrapped.callback, 1) << "10121 is line 121";
  EXPECT_EQ(wrapped.bytes[0], 0xFF);
  EjectorCommand masked = Take(122);
  EXPECT_EQ(Bytes(masked.bytes), (std::vector<int>{0, 0xFF, 0, 0}));
  EXPECT_EQ(Bytes(masked.mask), (std::vector<int>{0, 0xF0, 0, 0}));
  EXPECT_EQ(masked.callback, 0);
  EXPECT_TRUE(log.Contains("Ejector::SetLine: setting buffer, line=120\n bytes: 120 86 52 18, from str= "
                           "[EjectorLine 120 12345678]"));
}

TEST_F(EjectorCommands, CommandsForOneLineAccumulateAndAreConsumedOnce) {
  ejector.SetLine("EjectorLine 120 00000001");
  ejector.SetLine("EjectorLine 120 00000002 x");
  EjectorCommand merged = Take(120);
  EXPECT_EQ(merged.bytes[0], 0x03);
  EXPECT_EQ(merged.callback, 1) << "any character but '0' turns the callback on";
  EjectorCommand again = Take(120);
  EXPECT_EQ(again.assigned, 0);
  EXPECT_EQ(again.bytes[0], 0);
}

TEST_F(EjectorCommands, MalformedCommandsAreRefusedWithTheirMessage) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"EjectorLine 120 000000FF1", "Ejector::ParseCommand: ERROR: ejector command - invalid callback/mask [000000FF1]\n"},
      {"EjectorLine 120 000000FF,1",
       "Ejector::ParseCommand: ERROR: ejector command - invalid callback separator[000000FF,1]\n"},
      {"EjectorLine 120 000000FF 1,0000F000",
       "Ejector::ParseCommand: ERROR: ejector command - invalid mask separator [000000FF 1,0000F000]\n"},
      {"EjectorLine 120 000000FF 1 XYZ", "Ejector::ParseCommand: ERROR: ejector command - invalid callback/mask"},
      {"EjectorLine 120 000000FF 1 Z0000000",
       "Ejector::ParseCommand: ERROR: could not interpret mask bytes [000000FF 1 Z0000000]\n"},
      {"EjectorLine 120 XYZ00000", "Ejector::ParseCommand: ERROR: could not interpret bytes [XYZ00000]\n"},
      {"EjectorLine 120 00FF00F", "Ejector::ParseCommand: ERROR: ejector command too short [00FF00F]\n"},
      {"EjectorLine 120 1FFFFFFFF", "Ejector::ParseCommand: ERROR: could not interpret bytes [1FFFFFFFF]\n"},
      {"EjectorLine 5", "Ejector::SetLine: ERROR: unrecognized command: EjectorLine 5\n"},
      {"EjectorLine_120 000000FF", "Ejector::SetLine: ERROR: unrecognized command: EjectorLine_120 000000FF\n"},
      {"EjectorLine 12345678901", "Ejector::SetLine: ERROR: command too short: EjectorLine 12345678901\n"},
  };
  for (const auto& c : cases) {
    log.Clear();
    ejector.SetLine(c.text);
    EXPECT_TRUE(log.Contains(c.message)) << c.text << "\n" << log.Text();
  }
  ejector.SetLine(nullptr);
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR: no command string supplied\n"));
  log.Clear();
  ejector.SetLine("EjectorLine 120 XYZ00000");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR: invalid command: EjectorLine 120 XYZ00000\n"));
  EXPECT_EQ(Take(120).assigned, 0) << "a refused command stores nothing";
}

// The byte fields read hex as formatted stream input does; pinned against the stream itself.
TEST_F(EjectorCommands, HexFieldsReadAsAStreamInHexModeReadsThem) {
  for (const char* field : {"000000FF", "  0000ff", "+00000FF", "-0000001", "0x0000FF", "0X00abCD", "0x      ",
                            "0xg00000", "x1000000", "- 000001", "\t000001F", "FFFFFFFF", "0000000g"}) {
    std::istringstream stream(field);
    uint32_t expected = 0;
    stream >> std::hex >> expected;
    EjectorCommand command{};
    const bool parsed = Ejector::ParseCommand(field, &command);
    EXPECT_EQ(parsed, !stream.fail()) << "[" << field << "]";
    if (parsed) {
      const uint32_t got = command.bytes[0] | command.bytes[1] << 8 | command.bytes[2] << 16 |
                           static_cast<uint32_t>(command.bytes[3]) << 24;
      EXPECT_EQ(got, expected) << "[" << field << "]";
    }
  }
}

TEST_F(EjectorCommands, LinesPassedAreRefusedButLinesJustAcrossTheWrapAreKept) {
  ejector.SetLine("EjectorLine 100 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line 100 passed current 100 diff 0\n"));
  ejector.SetLine("EjectorLine 99 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line 99 passed current 100 diff -1\n"));
  ejector.SetLine("EjectorLine -5 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line -5 passed current 100 diff -105\n"));
  // Near the wrap: up to 5000 steps ahead across it is still to come.
  ejector.SetCurrentLineValue(9990);
  log.Clear();
  ejector.SetLine("EjectorLine 10005 000000FF");
  ejector.SetLine("EjectorLine 4990 000000FF");
  EXPECT_EQ(log.Text().find("passed current"), std::string::npos) << log.Text();
  EXPECT_EQ(Take(5).bytes[0], 0xFF);
  EXPECT_EQ(Take(4990).bytes[0], 0xFF);
  ejector.SetLine("EjectorLine 4991 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line 4991 passed current 9990 diff -4999\n"));
  ejector.SetLine("EjectorLine 9989 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line 9989 passed current 9990 diff -1\n"));
  // A number beyond the integer range would wrap into line 120: refused, nothing booked.
  ejector.SetCurrentLineValue(100);
  ejector.SetLine("EjectorLine 4294967416 000000FF");
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line 4294967416 passed current 100 diff 4294967316\n"));
  EXPECT_EQ(Take(120).assigned, 0);
  ejector.SetLine("EjectorLine -99999999999999999999 000000FF");  // beyond even a long long
  EXPECT_TRUE(log.Contains("Ejector::SetLine: ERROR line -9223372036854775808 passed current 100 diff "
                           "-9223372036854775808\n"))
      << log.Text();
}

TEST_F(EjectorCommands, TheStaticCommandTakesExactlyEightDigitsAndStartsAllOn) {
  EXPECT_EQ(Bytes(ejector.GetStaticCommand().bytes), (std::vector<int>{0xFF, 0xFF, 0xFF, 0xFF}));
  ejector.SetStaticCommand("EjectorStaticCommand 0000FF00");
  EXPECT_EQ(Bytes(ejector.GetStaticCommand().bytes), (std::vector<int>{0, 0xFF, 0, 0}));
  EXPECT_TRUE(log.Contains("Ejector::SetStaticCommand: setting static command: 0 255 0 0, from str= "
                           "[EjectorStaticCommand 0000FF00]\n"));
  ejector.SetStaticCommand("EjectorStaticCommand 0000FF00 1");
  EXPECT_TRUE(log.Contains(
      "Ejector::SetStaticCommand: ERROR: unrecognized command: EjectorStaticCommand 0000FF00 1\n"));
  ejector.SetStaticCommand("EjectorStaticCommand ZZ00FF00");
  EXPECT_TRUE(log.Contains("Ejector::SetStaticCommand: ERROR: invalid command: EjectorStaticCommand ZZ00FF00\n"));
  ejector.SetStaticCommand(nullptr);
  EXPECT_TRUE(log.Contains("Ejector::SetStaticCommand: ERROR: no command string supplied\n"));
  EXPECT_EQ(Bytes(ejector.GetStaticCommand().bytes), (std::vector<int>{0, 0xFF, 0, 0}));
}

TEST(EjectorBufferTest, SizingRangeChecksAndAFreedBuffer) {
  LogCapture log;
  EjectorBuffer buffer;
  EXPECT_FALSE(buffer.Init(0));
  EXPECT_TRUE(log.Contains("EjectorBuffer::Init: ERROR: size==0\n"));
  EjectorCommand command{};
  EXPECT_FALSE(buffer.SetCommand(0, command));
  EXPECT_TRUE(log.Contains("EjectorBuffer::SetCommand: ERROR: mCommands not allocated\n"));
  ASSERT_TRUE(buffer.Init(10));
  command.bytes[2] = 7;
  ASSERT_TRUE(buffer.SetCommand(9, command));
  EXPECT_FALSE(buffer.SetCommand(10, command));
  EXPECT_TRUE(log.Contains("EjectorBuffer::SetCommand: ERROR: line(10) out of scope, size= 10\n"));
  EXPECT_FALSE(buffer.IsAssigned(-1));
  EXPECT_TRUE(log.Contains("EjectorBuffer::IsAssigned: ERROR: line(-1) out of scope, size= 10\n"));
  EXPECT_TRUE(buffer.IsAssigned(3)) << "a range check, not a look at the record";
  ASSERT_TRUE(buffer.Init(10));  // the same size empties the records
  EjectorCommand out{};
  ASSERT_TRUE(buffer.ReadCommand(9, &out));
  EXPECT_EQ(out.bytes[2], 0);
  buffer.Free();
  EXPECT_FALSE(buffer.ReadCommand(9, &out));
  EXPECT_TRUE(log.Contains("EjectorBuffer::ReadCommand: ERROR: mCommands not allocated\n"));
}

}  // namespace
