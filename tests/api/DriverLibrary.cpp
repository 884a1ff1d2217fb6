#include "DriverLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

template <typename F>
void Resolve(const os::DynamicLibrary& library, const char* name, F& function) {
  function = reinterpret_cast<F>(library.Symbol(name));
  if (function == nullptr) ADD_FAILURE() << "missing export " << name;
}

}  // namespace

DriverLibrary::DriverLibrary() {
  if (!library.Open(KORVEX_LIBRARY_PATH)) {
    ADD_FAILURE() << "cannot load " << KORVEX_LIBRARY_PATH << ": " << library.Error();
    return;
  }
  Resolve(library, "initialize", initialize);
  Resolve(library, "finalize", finalize);
  Resolve(library, "setSystemPath", setSystemPath);
  Resolve(library, "setDebugMsgProc", setDebugMsgProc);
  Resolve(library, "configureCamera", configureCamera);
  Resolve(library, "openCVLPort", openCVLPort);
  Resolve(library, "closeCVLPort", closeCVLPort);
  Resolve(library, "doCVLGrab", doCVLGrab);
  Resolve(library, "getCVLGrabRow", getCVLGrabRow);
  Resolve(library, "setCompleteCallback", setCompleteCallback);
  Resolve(library, "setCmdCallback", setCmdCallback);
  Resolve(library, "execCmd", execCmd);
  Resolve(library, "getProperty", getProperty);
  Resolve(library, "setProperty", setProperty);
  Resolve(library, "getPropertyRange", getPropertyRange);
  Resolve(library, "getCVLCameraConfigNames", getCVLCameraConfigNames);
  Resolve(library, "getCVLMaxNoOfGrabbers", getCVLMaxNoOfGrabbers);
  Resolve(library, "getCVLMaxNoOfPorts", getCVLMaxNoOfPorts);
  Resolve(library, "getCVLNoOfSupportedCameras", getCVLNoOfSupportedCameras);
}

const std::vector<std::string>& ExportNames() {
  static const std::vector<std::string> names = {
      "initialize",          "finalize",       "setSystemPath",    "setDebugMsgProc",
      "configureCamera",     "openCVLPort",    "closeCVLPort",     "doCVLGrab",
      "getCVLGrabRow",       "setCompleteCallback", "setCmdCallback", "execCmd",
      "getProperty",         "setProperty",    "getPropertyRange", "getCVLCameraConfigNames",
      "getCVLMaxNoOfGrabbers", "getCVLMaxNoOfPorts", "getCVLNoOfSupportedCameras"};
  return names;
}

namespace {
// The driver calls the procedure from the wait thread too.
std::mutex gHostLogLock;
}  // namespace

void HostLog::Proc(const char* text) {
  std::lock_guard<std::mutex> guard(gHostLogLock);
  Calls().push_back(text != nullptr ? text : "(null)");
}

std::vector<std::string>& HostLog::Calls() {
  static std::vector<std::string> calls;
  return calls;
}

std::string HostLog::Messages() {
  std::lock_guard<std::mutex> guard(gHostLogLock);
  std::string joined;
  for (std::size_t i = 1; i < Calls().size(); i += 2) joined += Calls()[i];
  return joined;
}

bool HostLog::Contains(const std::string& text) { return Messages().find(text) != std::string::npos; }

DebugOutputFile::DebugOutputFile() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  mPath = (std::filesystem::temp_directory_path() /
           (std::string("korvex-debug-") + test->test_suite_name() + "-" + test->name() + ".txt"))
              .string();
  std::filesystem::remove(mPath);
  setenv("KORVEX_DEBUG_OUTPUT", mPath.c_str(), 1);
}

DebugOutputFile::~DebugOutputFile() {
  unsetenv("KORVEX_DEBUG_OUTPUT");
  std::filesystem::remove(mPath);
}

std::string DebugOutputFile::Read() const {
  std::ifstream in(mPath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
