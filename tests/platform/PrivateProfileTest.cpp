// The .ini reader and writer: the rules people rely on in Windows .ini files, and the safety the
// original lacks (whole-file replacement, concurrent writers).

#include "os/PrivateProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
// The system's ANSI functions go by macros of our functions' names.
#undef GetPrivateProfileString
#undef GetPrivateProfileSection
#undef WritePrivateProfileString
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>

namespace {

class PrivateProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                (std::string("korvex-ini-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    file = (directory / "Korvex.ini").string();
  }
  void TearDown() override {
    std::filesystem::permissions(directory, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(directory);
  }

  std::string Get(const char* section, const char* key, const char* fallback = "<default>", std::size_t size = 256) {
    std::vector<char> buffer(size);
    os::GetPrivateProfileString(section, key, fallback, buffer.data(), size, file.c_str());
    return buffer.data();
  }
  void Put(const std::string& content) { std::ofstream(file, std::ios::binary) << content; }
  std::string Content() const {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) files.push_back(entry.path().filename());
    return files;
  }

  std::filesystem::path directory;
  std::string file;
};

TEST_F(PrivateProfile, ReadsNamesWithoutCaseAndValuesWithoutBlanks) {
  Put("; a comment\r\n[ raL2048-48gm ]\r\n  width = 1024  \r\nUse LUTtable=1\r\nName=\"quoted text\"\r\n"
      "junk line without equals\r\n\x01\x02\xff=binary\r\n[General]\r\nLogLevel=2\r\n");
  EXPECT_EQ(Get("RAL2048-48GM", "Width"), "1024");
  EXPECT_EQ(Get("raL2048-48gm", "use luttable"), "1");
  EXPECT_EQ(Get("raL2048-48gm", "Name"), "quoted text");
  EXPECT_EQ(Get("general", "LOGLEVEL"), "2");
  EXPECT_EQ(Get("General", "Width"), "<default>") << "keys belong to their own section";
  EXPECT_EQ(Get("Missing", "Width"), "<default>");
  EXPECT_EQ(Get("General", "LogLevel", nullptr), "2");
  EXPECT_EQ(Get("General", "Nothing", nullptr), "");
  // A whole section, read by the same rules.
  using Keys = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(os::GetPrivateProfileSection("RAL2048-48GM", file.c_str()),
            (Keys{{"width", "1024"}, {"Use LUTtable", "1"}, {"Name", "quoted text"}, {"\x01\x02\xff", "binary"}}));
  EXPECT_TRUE(os::GetPrivateProfileSection("Missing", file.c_str()).empty());
}

TEST_F(PrivateProfile, ReadsAreCutToTheBuffer) {
  Put("[S]\nKey=" + std::string(400, 'v') + "\n");
  EXPECT_EQ(Get("S", "Key").size(), 255u);
  EXPECT_EQ(Get("S", "Key", "", 4), "vvv");
  char one[1] = {'x'};
  EXPECT_EQ(os::GetPrivateProfileString("S", "Key", "", one, 1, file.c_str()), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(os::GetPrivateProfileString("S", "Key", "", nullptr, 10, file.c_str()), 0u);
}

TEST_F(PrivateProfile, WritesCreateFileAndSectionAndKeepEverythingElse) {
  ASSERT_TRUE(os::WritePrivateProfileString("General", "LogLevel", "1", file.c_str()));
  EXPECT_EQ(Content(), "[General]\nLogLevel=1\n");

  Put("; keep me\r\n[Cam]\r\nWidth=1\r\nOther=x\r\n\r\n[Unknown]\r\nA=b\r\n");
  ASSERT_TRUE(os::WritePrivateProfileString("cam", "WIDTH", "2048", file.c_str()));
  ASSERT_TRUE(os::WritePrivateProfileString("Cam", "Height", "512", file.c_str()));
  ASSERT_TRUE(os::WritePrivateProfileString("New", "K", "v", file.c_str()));
  EXPECT_EQ(Content(),
            "; keep me\r\n[Cam]\r\nWIDTH=2048\r\nOther=x\r\nHeight=512\r\n\r\n[Unknown]\r\nA=b\r\n[New]\r\nK=v\r\n");

  ASSERT_TRUE(os::WritePrivateProfileString("Cam", "Other", nullptr, file.c_str()));
  ASSERT_TRUE(os::WritePrivateProfileString("Unknown", nullptr, nullptr, file.c_str()));
  EXPECT_EQ(Content(), "; keep me\r\n[Cam]\r\nWIDTH=2048\r\nHeight=512\r\n\r\n[New]\r\nK=v\r\n");
}

TEST_F(PrivateProfile, AValueCannotAddLinesOfItsOwn) {
  ASSERT_TRUE(os::WritePrivateProfileString("S", "Path", "a\n[General]\r\nLogLevel=4", file.c_str()));
  EXPECT_EQ(Get("General", "LogLevel"), "<default>");
  EXPECT_EQ(Get("S", "Path"), "a [General]  LogLevel=4");
  EXPECT_FALSE(os::WritePrivateProfileString("S", "a=b", "1", file.c_str()));
  EXPECT_FALSE(os::WritePrivateProfileString("S]", "a", "1", file.c_str()));
  EXPECT_FALSE(os::WritePrivateProfileString(nullptr, "a", "1", file.c_str()));
  EXPECT_FALSE(os::WritePrivateProfileString("S", "a", "1", nullptr));
}

TEST_F(PrivateProfile, FailedWritesLeaveTheOldFileAndNoLitter) {
  const std::string missingFolder = (directory / "no" / "Korvex.ini").string();
  EXPECT_FALSE(os::WritePrivateProfileString("S", "K", "v", missingFolder.c_str()));
  EXPECT_FALSE(std::filesystem::exists(directory / "no")) << "nothing is created but the file itself";

  Put("[S]\nK=old\n");
  // A directory in place of the temporary file's target cannot be replaced by rename.
  const std::string folderAsFile = (directory / "folder.ini").string();
  std::filesystem::create_directory(folderAsFile);
  EXPECT_FALSE(os::WritePrivateProfileString("S", "K", "new", folderAsFile.c_str()));
#if !defined(_WIN32)
  if (geteuid() != 0) {  // root reads whatever the permissions say
    std::filesystem::permissions(file, std::filesystem::perms::none);
    EXPECT_FALSE(os::WritePrivateProfileString("S", "Other", "v", file.c_str())) << "unreadable: not replaced";
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
#endif
  EXPECT_EQ(Get("S", "K"), "old");
  std::filesystem::remove(folderAsFile);
  EXPECT_EQ(Files(), std::vector<std::filesystem::path>{"Korvex.ini"}) << "no temporary file left behind";
}

// A writer killed between its temporary file and the rename leaves the file behind; the next write
// removes it, but not the file of a writer still at work (it holds a lock on it).
TEST_F(PrivateProfile, AWriteRemovesTemporaryFilesThatWritersKilledMidWayLeftBehind) {
  Put("[S]\nK=old\n");
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const char* name : {"Korvex.ini.a1B2c3", "Korvex.ini.zzzzzz", "Korvex.ini.Busy01"}) {
    std::ofstream(directory / name) << "[S]\nK=half";
    std::filesystem::last_write_time(directory / name, old);
  }
  std::ofstream(directory / "Korvex.ini.young1") << "[S]\n";  // made a moment ago: its writer may lock it yet
  std::ofstream(directory / "Other.ini.a1B2c3") << "";           // not ours
  // Held as a writer at work holds its temporary file.
#if defined(_WIN32)
  const HANDLE busy = CreateFileA((directory / "Korvex.ini.Busy01").string().c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
#else
  const int busy = open((directory / "Korvex.ini.Busy01").c_str(), O_RDONLY);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(flock(busy, LOCK_EX), 0);
#endif

  ASSERT_TRUE(os::WritePrivateProfileStrings(file.c_str(), {{"S", "K", "new"}, {"T", "L", "2"}}));
#if defined(_WIN32)
  CloseHandle(busy);
#else
  close(busy);
#endif
  std::vector<std::filesystem::path> files = Files();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::filesystem::path>{"Korvex.ini", "Korvex.ini.Busy01", "Korvex.ini.young1",
                                                        "Other.ini.a1B2c3"}));
  EXPECT_EQ(Content(), "[S]\nK=new\n[T]\nL=2\n") << "both keys in one write";
  EXPECT_FALSE(os::WritePrivateProfileStrings(file.c_str(), {{"S", "K", "x"}, {"S", "bad=key", "y"}}));
  EXPECT_EQ(Get("S", "K"), "new") << "an unusable entry writes nothing";
}

TEST_F(PrivateProfile, ConcurrentWritersKeepEachOthersKeys) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 25;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, t] {
      const std::string section = t % 2 == 0 ? "General" : "Camera" + std::to_string(t);
      for (int k = 0; k < kKeys; ++k) {
        const std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
        os::WritePrivateProfileString(section.c_str(), key.c_str(), std::to_string(k).c_str(), file.c_str());
      }
    });
  }
  // A reader meanwhile sees the file whole or not at all, never torn.
  std::thread reader([this] {
    for (int i = 0; i < 200; ++i) {
      const std::string text = Content();
      if (!text.empty()) {
        EXPECT_EQ(text.back(), '\n');
      }
    }
  });
  for (std::thread& writer : writers) writer.join();
  reader.join();
  for (int t = 0; t < kThreads; ++t) {
    const std::string section = t % 2 == 0 ? "General" : "Camera" + std::to_string(t);
    for (int k = 0; k < kKeys; ++k) {
      const std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
      EXPECT_EQ(Get(section.c_str(), key.c_str()), std::to_string(k)) << section << " " << key;
    }
  }
  EXPECT_EQ(Files().size(), 1u) << "no temporary file left behind";
}

TEST_F(PrivateProfile, AFileThatDisappearsBetweenReadsGivesTheDefault) {
  Put("[S]\nK=v\n");
  EXPECT_EQ(Get("S", "K"), "v");
  std::filesystem::remove(file);
  EXPECT_EQ(Get("S", "K"), "<default>");
}

}  // namespace
