// A hostile host: several threads call the nineteen exports in random order on random ports, with
// valid and hostile arguments, open, grab, read rows, confirm the dialog (headless), close, finalize
// and initialize again, with callbacks that re-enter the driver and callbacks that are slow.
//
//   korvex_hostile_host [--seconds N] [--seed S] [--threads T]
//
// The oracle: no crash and no sanitizer report (the exit status), no hang (a watchdog ends the run
// when a call has not returned for 10 s), calls that must fail return 0, and no write beyond the
// buffers the host passes. The seed is printed first, so that a failing run can be replayed (thread
// timing aside).

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Driver {
  decltype(&::initialize) initialize = nullptr;
  decltype(&::finalize) finalize = nullptr;
  decltype(&::setSystemPath) setSystemPath = nullptr;
  decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
  decltype(&::configureCamera) configureCamera = nullptr;
  decltype(&::openCVLPort) openCVLPort = nullptr;
  decltype(&::closeCVLPort) closeCVLPort = nullptr;
  decltype(&::doCVLGrab) doCVLGrab = nullptr;
  decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
  decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
  decltype(&::setCmdCallback) setCmdCallback = nullptr;
  decltype(&::execCmd) execCmd = nullptr;
  decltype(&::getProperty) getProperty = nullptr;
  decltype(&::setProperty) setProperty = nullptr;
  decltype(&::getPropertyRange) getPropertyRange = nullptr;
  decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
  decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
  decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
  decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
};

Driver gDriver;
std::string gSystemPath;
std::atomic<int> gViolations{0};
std::atomic<long> gCalls{0};
std::atomic<long> gCallbacks{0};
std::atomic<long> gLogLines{0};
std::atomic<int> gHeight[20];  // the height the last open of each port reported
std::atomic<bool> gStop{false};

// The watchdog's view of each worker: when its current call began (0: not in a call).
constexpr int kMaxThreads = 16;
std::atomic<long long> gCallSince[kMaxThreads];
const char* volatile gCallName[kMaxThreads];

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

void Violation(const char* what, int port) {
  ++gViolations;
  std::fprintf(stderr, "hostile host: VIOLATION: %s (port %d)\n", what, port);
}

void OnLog(const char*) { ++gLogLines; }

// ---- the callbacks -------------------------------------------------------------------------------

thread_local std::minstd_rand tCallbackRandom{std::random_device{}()};
thread_local std::vector<unsigned char> tCallbackRow(3 * 4096 + 16);

int Pick(std::minstd_rand& random, int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); }

void ReadRows(int port) {
  const int rows = gHeight[port >= 0 && port < 20 ? port : 0];
  for (int r = 0; r < rows; ++r) gDriver.getCVLGrabRow(0, port, tCallbackRow.data(), r, 0, 4095);
}

void OnCompleteReading(int, int port) {
  ++gCallbacks;
  ReadRows(port);
}

void OnCompleteSlow(int, int port) {
  ++gCallbacks;
  std::this_thread::sleep_for(std::chrono::milliseconds(20 + Pick(tCallbackRandom, 30)));
  ReadRows(port);
}

// Re-enters the driver from the wait thread: grabs again, reads settings, sometimes stops or closes.
void OnCompleteReentrant(int, int port) {
  ++gCallbacks;
  ReadRows(port);
  int value = 0;
  gDriver.getProperty(0, port, "Gain", &value);
  switch (Pick(tCallbackRandom, 8)) {
    case 0: gDriver.closeCVLPort(0, port); break;
    case 1: gDriver.setProperty(0, port, "continuous", 0); break;
    case 2: gDriver.finalize(); break;  // refused on the driver's thread
    case 3: gDriver.initialize(gSystemPath.c_str(), &OnLog); break;  // refused too
    default: gDriver.doCVLGrab(0, port); break;
  }
}

void OnCommandReentrant(int, int port, const char*, const char* value) {
  ++gCallbacks;
  const int line = value != nullptr ? std::atoi(value) : 0;
  char text[64];
  std::snprintf(text, sizeof text, "EjectorLine %d 000000%02X 1", (line + 7) % 10000, Pick(tCallbackRandom, 256));
  gDriver.setProperty(0, port, text, 0);
  char result[16];
  gDriver.execCmd(0, port, "writebyte", "dio1=3", result, sizeof result);
  switch (Pick(tCallbackRandom, 16)) {
    case 0: gDriver.closeCVLPort(0, port); break;
    case 1: {
      int size[2];
      gDriver.openCVLPort(0, Pick(tCallbackRandom, 3), Pick(tCallbackRandom, 2) ? "Mono" : "Colour", size);
      break;
    }
    case 2: gDriver.configureCamera(0, "Mono"); break;
    default: break;
  }
}

void OnCommandSlow(int, int, const char*, const char*) {
  ++gCallbacks;
  std::this_thread::sleep_for(std::chrono::milliseconds(5 + Pick(tCallbackRandom, 10)));
}

CompleteCallback kCompleteCallbacks[] = {nullptr, &OnCompleteReading, &OnCompleteSlow, &OnCompleteReentrant};
CommandCallback kCommandCallbacks[] = {nullptr, &OnCommandReentrant, &OnCommandSlow};

// ---- the workers ---------------------------------------------------------------------------------

const char* const kNames[] = {"Mono", "Colour", "Mono", "Colour", "Undefined", "udefinert", "", "No such camera",
                              nullptr};
const char* const kProperties[] = {"Gain", "Exposure", "continuous", "PixelSize", "ConveyorStopped", "Inputs",
                                   "Outputs", "Width", "LineCounterResolution", "EmbedTimeStamp", "LogLevel",
                                   "ExecuteTriggerSettings", "No such property", "", nullptr};
const char* const kCommands[] = {"writebyte", "writebit", "readbyte", "readbit", "WRITEBYTE", "bogus", "", nullptr};
const char* const kArguments[] = {"dio0=5",   "dio1.3=1", "di0",     "di0.2",         "dio0.15=1", "",
                                  "dio99999999999=1", "dio-1=3", "di0.-2", "dio0=256", "garbage", nullptr};

bool ValidPort(int port) { return port >= 0 && port < 20; }

class Worker {
 public:
  Worker(int index, unsigned seed) : mIndex(index), mRandom(seed) {}

  void Run(Clock::time_point deadline) {
    while (!gStop && Clock::now() < deadline) {
      Step();
      ++gCalls;
    }
  }

 private:
  int Pick(int count) { return ::Pick(mRandom, count); }
  bool Chance(int inN) { return Pick(inN) == 0; }
  // Mostly the ports that cameras use, sometimes any, sometimes none that exists.
  int Port() {
    switch (Pick(10)) {
      case 0: return -1;
      case 1: return 20 + Pick(3);
      case 2: return INT_MIN + Pick(2) * (INT_MAX);
      default: return Pick(3);
    }
  }
  template <typename T, std::size_t N>
  T From(T (&list)[N]) {
    return list[Pick(static_cast<int>(N))];
  }

  void Enter(const char* name) {
    gCallName[mIndex] = name;
    gCallSince[mIndex] = NowMs();
  }
  void Leave() { gCallSince[mIndex] = 0; }

  void Step() {
    const int port = Port();
    switch (Pick(28)) {
      case 0: {
        Enter("initialize");
        gDriver.initialize(Chance(4) ? nullptr : gSystemPath.c_str(), Chance(4) ? nullptr : &OnLog);
        break;
      }
      case 1: {
        if (!Chance(12)) return;  // fewer finalizes than initializes: the driver mostly runs
        Enter("finalize");
        gDriver.finalize();
        break;
      }
      case 2: {
        Enter("setSystemPath");
        const char* paths[] = {gSystemPath.c_str(), "", nullptr};
        const int result = gDriver.setSystemPath(From(paths));
        (void)result;
        break;
      }
      case 3:
        Enter("setDebugMsgProc");
        gDriver.setDebugMsgProc(Chance(3) ? nullptr : &OnLog);
        break;
      case 4: {
        if (!Chance(4)) return;
        Enter("configureCamera");
        gDriver.configureCamera(0, From(kNames));
        break;
      }
      case 5:
      case 6: {
        Enter("openCVLPort");
        const char* name = From(kNames);
        int size[4] = {-7, -7, 0x5A5A, 0x5A5A};
        const bool nullSize = Chance(10);
        const int opened = gDriver.openCVLPort(0, port, name, nullSize ? nullptr : size);
        const bool mustFail = nullSize || !ValidPort(port) || name == nullptr || *name == '\0' ||
                              std::strcmp(name, "Undefined") == 0 || std::strcmp(name, "udefinert") == 0 ||
                              std::strcmp(name, "No such camera") == 0;
        if (mustFail && opened != 0) Violation("openCVLPort succeeded where it must fail", port);
        if (!nullSize && (size[2] != 0x5A5A || size[3] != 0x5A5A)) Violation("openCVLPort wrote past imageSize", port);
        if (opened == 1) gHeight[port] = size[1];
        break;
      }
      case 7:
        if (!Chance(3)) return;
        Enter("closeCVLPort");
        gDriver.closeCVLPort(0, port);
        break;
      case 8:
      case 9: {
        Enter("doCVLGrab");
        if (gDriver.doCVLGrab(0, port) != 0 && !ValidPort(port)) Violation("doCVLGrab on no port", port);
        break;
      }
      case 10:
      case 11: {
        Enter("getCVLGrabRow");
        const int rows[] = {0, 1, 5, 15, 63, -1, -100, 100000, INT_MAX, INT_MIN};
        const int firsts[] = {0, 0, 3, -1, INT_MIN, 5000};
        const int lasts[] = {63, 4095, 2, -1, INT_MAX, 0};
        const bool nullRow = Chance(10);
        const int first = From(firsts);
        const int last = From(lasts);
        mRow.assign(3 * 4096 + 64, 0xA5);
        const int got = gDriver.getCVLGrabRow(0, port, nullRow ? nullptr : mRow.data(), From(rows), first, last);
        if (got != 0 && (nullRow || !ValidPort(port) || first < 0 || last < first)) {
          Violation("getCVLGrabRow succeeded where it must fail", port);
        }
        for (std::size_t i = 3 * 4096; i < mRow.size(); ++i) {
          if (mRow[i] != 0xA5) {
            Violation("getCVLGrabRow wrote past the widest row", port);
            break;
          }
        }
        break;
      }
      case 12: {
        Enter("setCompleteCallback");
        if (gDriver.setCompleteCallback(0, port, From(kCompleteCallbacks)) != 0 && !ValidPort(port)) {
          Violation("setCompleteCallback on no port", port);
        }
        break;
      }
      case 13: {
        Enter("setCmdCallback");
        if (gDriver.setCmdCallback(0, port, From(kCommandCallbacks)) != 0 && !ValidPort(port)) {
          Violation("setCmdCallback on no port", port);
        }
        break;
      }
      case 14:
      case 15: {
        Enter("execCmd");
        const int sizes[] = {16, 16, 1, 2, 0, -5};
        const int size = From(sizes);
        std::vector<char> result(24, '#');
        const bool nullResult = Chance(10);
        const char* command = From(kCommands);
        const char* arguments = From(kArguments);
        const int done = gDriver.execCmd(0, port, command, arguments, nullResult ? nullptr : result.data(), size);
        if (done != 0 && (nullResult || size <= 0 || command == nullptr || arguments == nullptr || !ValidPort(port))) {
          Violation("execCmd succeeded where it must fail", port);
        }
        if (!nullResult) {
          const std::size_t limit = size > 0 ? static_cast<std::size_t>(size) : 0;
          for (std::size_t i = limit; i < result.size(); ++i) {
            if (result[i] != '#') {
              Violation("execCmd wrote past resultSize", port);
              break;
            }
          }
        }
        break;
      }
      case 16:
      case 17: {
        Enter("getProperty");
        const char* name = From(kProperties);
        int value = 0;
        const bool nullValue = Chance(10);
        const int got = gDriver.getProperty(0, port, name, nullValue ? nullptr : &value);
        if (got != 0 && (nullValue || name == nullptr || !ValidPort(port) ||
                         std::strcmp(name, "No such property") == 0 || *name == '\0')) {
          Violation("getProperty succeeded where it must fail", port);
        }
        break;
      }
      case 18:
      case 19: {
        Enter("setProperty");
        char text[64];
        switch (Pick(5)) {
          case 0:
            std::snprintf(text, sizeof text, "EjectorLine %d %08X %d", Pick(12000) - 1000,
                          static_cast<unsigned>(mRandom()), Pick(2));
            break;
          case 1: std::snprintf(text, sizeof text, "EjectorStaticCommand %08X", static_cast<unsigned>(mRandom())); break;
          case 2: std::snprintf(text, sizeof text, "EjectorLine %s", Chance(2) ? "x" : "99999999999999999999 1 1"); break;
          default: {
            const char* name = From(kProperties);
            if (name == nullptr) {
              Enter("setProperty");
              if (gDriver.setProperty(0, port, nullptr, 1) != 0) Violation("setProperty without a name", port);
              Leave();
              return;
            }
            std::snprintf(text, sizeof text, "%s", name);
          }
        }
        // Log levels above 2 would trace every line: the run measures the driver, not its log.
        int value = Pick(3) == 0 ? Pick(3) : static_cast<int>(mRandom() % 2000);
        if (std::strcmp(text, "LogLevel") == 0) value = Pick(3);
        if (std::strcmp(text, "continuous") == 0) value = Pick(2);
        if (gDriver.setProperty(0, port, text, value) != 0 && !ValidPort(port)) Violation("setProperty on no port", port);
        break;
      }
      case 20: {
        Enter("getPropertyRange");
        int minimum = 0, maximum = 0;
        const bool nullRange = Chance(8);
        const char* name = From(kProperties);
        const int got = gDriver.getPropertyRange(0, port, name, nullRange ? nullptr : &minimum, &maximum);
        if (got != 0 && (nullRange || name == nullptr || !ValidPort(port))) {
          Violation("getPropertyRange succeeded where it must fail", port);
        }
        break;
      }
      case 21: {
        Enter("getCVLCameraConfigNames");
        char** names = gDriver.getCVLCameraConfigNames();
        if (names == nullptr) Violation("getCVLCameraConfigNames gave no array", 0);
        break;
      }
      case 24:
      case 25:
      case 26: {
        // Streams keep the wait thread, the callbacks and the ejector busy.
        Enter("setProperty continuous");
        const int camera = Pick(3);
        gDriver.setCompleteCallback(0, camera, From(kCompleteCallbacks));
        gDriver.setProperty(0, camera, "continuous", Chance(4) ? 0 : 1);
        break;
      }
      case 22:
        Enter("getCVLNoOfSupportedCameras");
        if (gDriver.getCVLNoOfSupportedCameras() < 0) Violation("a negative camera count", 0);
        break;
      default:
        Enter("getCVLMax");
        if (gDriver.getCVLMaxNoOfGrabbers() != 1 || gDriver.getCVLMaxNoOfPorts() != 20) {
          Violation("the fixed answers changed", 0);
        }
        break;
    }
    Leave();
  }

  int mIndex;
  std::minstd_rand mRandom;
  std::vector<unsigned char> mRow;
};

template <typename F>
bool Resolve(const os::DynamicLibrary& library, const char* name, F& function) {
  function = reinterpret_cast<F>(library.Symbol(name));
  if (function == nullptr) std::fprintf(stderr, "hostile host: missing export %s\n", name);
  return function != nullptr;
}

bool ResolveAll(const os::DynamicLibrary& l) {
  return Resolve(l, "initialize", gDriver.initialize) && Resolve(l, "finalize", gDriver.finalize) &&
         Resolve(l, "setSystemPath", gDriver.setSystemPath) && Resolve(l, "setDebugMsgProc", gDriver.setDebugMsgProc) &&
         Resolve(l, "configureCamera", gDriver.configureCamera) && Resolve(l, "openCVLPort", gDriver.openCVLPort) &&
         Resolve(l, "closeCVLPort", gDriver.closeCVLPort) && Resolve(l, "doCVLGrab", gDriver.doCVLGrab) &&
         Resolve(l, "getCVLGrabRow", gDriver.getCVLGrabRow) &&
         Resolve(l, "setCompleteCallback", gDriver.setCompleteCallback) &&
         Resolve(l, "setCmdCallback", gDriver.setCmdCallback) && Resolve(l, "execCmd", gDriver.execCmd) &&
         Resolve(l, "getProperty", gDriver.getProperty) && Resolve(l, "setProperty", gDriver.setProperty) &&
         Resolve(l, "getPropertyRange", gDriver.getPropertyRange) &&
         Resolve(l, "getCVLCameraConfigNames", gDriver.getCVLCameraConfigNames) &&
         Resolve(l, "getCVLMaxNoOfGrabbers", gDriver.getCVLMaxNoOfGrabbers) &&
         Resolve(l, "getCVLMaxNoOfPorts", gDriver.getCVLMaxNoOfPorts) &&
         Resolve(l, "getCVLNoOfSupportedCameras", gDriver.getCVLNoOfSupportedCameras);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  int threads = 4;
  unsigned seed = std::random_device{}();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--seconds") seconds = std::atoi(argv[i + 1]);
    if (flag == "--seed") seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    if (flag == "--threads") threads = std::atoi(argv[i + 1]);
  }
  if (threads < 1 || threads > kMaxThreads) threads = 4;
  std::printf("hostile host: seed=%u threads=%d seconds=%d\n", seed, threads, seconds);
  std::fflush(stdout);

  // Two free-running virtual cameras, one of them a line-counter camera with the ejector; the
  // dialog on the headless window system, confirmed at once.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvex-hostile-host-" + std::to_string(seed));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  gSystemPath = folder.string();
  std::ofstream(folder / "network.ini")
      << "[mono]\nFullName=Basler raL2048-48gm#1\nFriendlyName=Mono\nLineRate=4000\n"
      << "[colour]\nFullName=Basler ruL2098-10gc#2\nFriendlyName=Colour\nColor=1\nSensorWidth=2098\nLineRate=4000\n";
  std::ofstream(folder / "Korvex.ini") << "[Mono]\nWidth=64\nHeight=16\nEjectorControl=1\n"
                                       << "[Colour]\nWidth=32\nHeight=8\nLineGrabbingMode=1\nLineCounterResolution=2\n"
                                       << "OverlappedLines=2\nEjectorControl=1\n";
  setenv("KORVEX_CAMERAS", (folder / "network.ini").string().c_str(), 1);
  setenv("KORVEX_UI_MODULE", KORVEX_HEADLESS_UI_MODULE, 1);
  setenv("KORVEX_HEADLESS_ANSWER", "ok", 1);
  unsetenv("KORVEX_DAQ");
  for (auto& height : gHeight) height = 0;
  for (auto& since : gCallSince) since = 0;

  os::DynamicLibrary library;
  if (!library.Open(KORVEX_LIBRARY_PATH)) {
    std::fprintf(stderr, "hostile host: cannot load %s: %s\n", KORVEX_LIBRARY_PATH, library.Error().c_str());
    return 1;
  }
  if (!ResolveAll(library)) return 1;

  // No call may stay inside the driver for 10 s.
  std::thread watchdog([threads] {
    while (!gStop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      for (int i = 0; i < threads; ++i) {
        const long long since = gCallSince[i];
        if (since != 0 && NowMs() - since > 10000) {
          std::fprintf(stderr, "hostile host: HANG: thread %d has been in %s for over 10 s\n", i, gCallName[i]);
          std::fflush(stderr);
          std::abort();
        }
      }
    }
  });

  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    workers.emplace_back([i, seed, deadline] { Worker(i, seed + static_cast<unsigned>(i) * 7919u).Run(deadline); });
  }
  for (std::thread& worker : workers) worker.join();

  // Stop the driver whatever the count, then unload it.
  gCallName[0] = "the final finalize";
  gCallSince[0] = NowMs();
  for (int i = 0; i < 10000 && gDriver.getCVLNoOfSupportedCameras() > 0; ++i) gDriver.finalize();
  gCallSince[0] = 0;
  library.Close();
  gStop = true;
  watchdog.join();
  std::filesystem::remove_all(folder);

  std::printf("hostile host: %ld calls, %ld callbacks, %ld log lines, %d violations\n", gCalls.load(),
              gCallbacks.load(), gLogLines.load(), gViolations.load());
  return gViolations == 0 ? 0 : 1;
}
