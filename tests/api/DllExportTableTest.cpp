// The DLL's export table as a Windows host's loader reads it: exactly the nineteen functions, by
// their plain names.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ExportedNames(HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (entry.VirtualAddress == 0) return names;
  const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) names.emplace_back(reinterpret_cast<const char*>(base + nameOffsets[i]));
  EXPECT_EQ(directory->NumberOfFunctions, directory->NumberOfNames) << "every export has a name";
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DllExportTable, HoldsExactlyTheNineteenFunctionsByPlainName) {
  // As data: the table is read without running the DLL.
  HMODULE module = LoadLibraryExA(KORVEX_LIBRARY_PATH, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr) << KORVEX_LIBRARY_PATH;
  std::vector<std::string> expected = {
      "closeCVLPort",       "configureCamera",    "doCVLGrab",          "execCmd",
      "finalize",           "getCVLCameraConfigNames", "getCVLGrabRow", "getCVLMaxNoOfGrabbers",
      "getCVLMaxNoOfPorts", "getCVLNoOfSupportedCameras", "getProperty", "getPropertyRange",
      "initialize",         "openCVLPort",        "setCmdCallback",     "setCompleteCallback",
      "setDebugMsgProc",    "setProperty",        "setSystemPath"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ExportedNames(module), expected);
  FreeLibrary(module);
}

}  // namespace
