// The host stand-in: loads the driver as a host application does, with the run-time loader, and
// uses nothing but the nineteen exports, in the host's order: initialize, the camera names, open a
// port, the callbacks, grabs and rows, properties, close, finalize.
//
//   korvex-host [--library FILE] [--system-path DIR] [--out DIR] COMMAND
//     list                         the cameras found
//     grab CAMERA N                N frames in frame mode, written as PNG
//     grab --single CAMERA N       N frames, one doCVLGrab each (no continuous switch), the first and
//                                  the last written as PNG; frames per second beside the camera's
//     linegrab CAMERA N            N images in line-counter mode, written as PNG; checks that the
//                                  line-counter stamps stay in step (forward a chunk at a time, or
//                                  over chunks that were lost) and that the overlap rows repeat
//     get CAMERA PROPERTY          one property
//     set CAMERA PROPERTY VALUE    one property
//     conveyor CAMERA STEPS        the conveyor inspection over STEPS counter steps with the
//                                  ejector --offset steps (default 1000) downstream of the camera,
//                                  the belt at --line-rate lines a second (default 40000);
//                                  the rig (a virtual network and card of its own) is set up under
//                                  the system path; --drop-every N loses one chunk in N on its way,
//                                  --load N runs N busy threads beside it
//     twocams CAMERA OTHER STEPS   the conveyor inspection on CAMERA while OTHER is single-grabbed on
//                                  port 1 all the while: lost chunks and the ejector's latency
//     configure CAMERA             the camera's configuration dialog on the display (above the
//                                  X11 window --parent, if given); prints what OK stored. With
//                                  --screenshot FILE the dialog's picture is written and the
//                                  dialog cancelled
//   The driver is the one installed beside it, else the one built with it, unless --library names
//   a file; the system path defaults to ./korvex-host-data.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "camera_sdk/Network.h"

#include "Configure.h"
#include "Conveyor.h"
#include "HostSupport.h"
#include "KorvexEjector.h"
#include "os/DynamicLibrary.h"

using namespace host;

namespace {

std::string FileStem(const std::string& camera) {
  std::string stem;
  for (char c : camera) stem += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
  return stem;
}

struct Summary {
  int images = 0;
  long rows = 0;
  long lines = 0;
  int errors = 0;
  double seconds = 0;
};

void PrintSummary(const Summary& summary) {
  std::printf("summary: %d images, %ld rows, %.0f lines per second, %d callbacks, %d errors\n", summary.images,
              summary.rows, summary.seconds > 0 ? static_cast<double>(summary.lines) / summary.seconds : 0.0,
              CallbackCount(), summary.errors);
}

class Host {
 public:
  Host(DriverApi& api, std::string out) : mApi(api), mOut(std::move(out)) {}

  bool Open(const char* camera, int size[2]) {
    if (mApi.openCVLPort(0, kPort, camera, size) != 1) {
      std::fprintf(stderr, "korvex-host: cannot open %s (see the log)\n", camera);
      return false;
    }
    mApi.setCompleteCallback(0, kPort, &OnComplete);
    return true;
  }

  // Reads one image of the given size after its callback; false on a failed row.
  bool ReadImage(std::vector<unsigned char>& pixels, int width, int height, int bytesPerPixel, Summary& summary) {
    const std::size_t stride = static_cast<std::size_t>(width) * bytesPerPixel;
    pixels.resize(stride * height);
    for (int row = 0; row < height; ++row) {
      if (mApi.getCVLGrabRow(0, kPort, pixels.data() + stride * row, row, 0, width - 1) != 1) {
        ++summary.errors;
        return false;
      }
      ++summary.rows;
    }
    return true;
  }

  // The whole sensor width; settings take effect on the next open.
  bool OpenFullWidth(const char* camera, int size[2], bool lineMode) {
    if (!Open(camera, size)) return false;
    int minimum = 0, maximum = 0;
    if (mApi.getPropertyRange(0, kPort, "Width", &minimum, &maximum) == 1) mApi.setProperty(0, kPort, "Width", maximum);
    mApi.setProperty(0, kPort, "LineGrabbingMode", lineMode ? 1 : 0);
    if (lineMode) {
      mApi.setProperty(0, kPort, "LineCounterResolution", kResolution);
      mApi.setProperty(0, kPort, "Height", kHeight);
      mApi.setProperty(0, kPort, "OverlappedLines", kOverlap);
    }
    mApi.closeCVLPort(0, kPort);
    return Open(camera, size);
  }

  int Grab(const char* camera, int count) {
    int size[2];
    if (!OpenFullWidth(camera, size, false)) return 1;
    int pixelSize = 8;
    mApi.getProperty(0, kPort, "PixelSize", &pixelSize);
    const int bytesPerPixel = pixelSize / 8;
    std::printf("grab: %s, %d x %d, %d byte(s) per pixel, %d frames\n", camera, size[0], size[1], bytesPerPixel, count);
    Summary summary;
    const auto start = std::chrono::steady_clock::now();
    // Images may come faster than they are read: the i-th image read is the i-th callback.
    const int base = CallbackCount();
    mApi.setProperty(0, kPort, "continuous", 1);
    std::vector<unsigned char> pixels;
    for (int i = 0; i < count; ++i) {
      if (!WaitForCallbacks(base + i + 1, 5000)) {
        ++summary.errors;
        break;
      }
      if (!ReadImage(pixels, size[0], size[1], bytesPerPixel, summary)) continue;
      const std::string path = mOut + "/" + FileStem(camera) + "-frame-" + std::to_string(i) + ".png";
      if (!WritePng(path, pixels, size[0], size[1], bytesPerPixel == 3)) ++summary.errors;
      ++summary.images;
      summary.lines += size[1];
      Progress(i + 1, count);
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mApi.setProperty(0, kPort, "continuous", 0);
    mApi.closeCVLPort(0, kPort);
    PrintSummary(summary);
    return summary.errors == 0 ? 0 : 1;
  }

  // One doCVLGrab per image, the next one as soon as the image is read: how many frames a second a
  // host that grabs image by image gets, beside what the camera makes.
  int GrabSingle(const char* camera, int count) {
    int size[2];
    if (!OpenFullWidth(camera, size, false)) return 1;
    int pixelSize = 8;
    mApi.getProperty(0, kPort, "PixelSize", &pixelSize);
    const int bytesPerPixel = pixelSize / 8;
    int lineRate = 0;
    mApi.getProperty(0, kPort, "AcquisitionLineRateAbs", &lineRate);
    std::printf("grab --single: %s, %d x %d, %d byte(s) per pixel, %d frames\n", camera, size[0], size[1],
                bytesPerPixel, count);
    Summary summary;
    std::vector<unsigned char> pixels;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
      const int before = CallbackCount();
      if (mApi.doCVLGrab(0, kPort) != 1 || !WaitForCallbacks(before + 1, 5000)) {
        ++summary.errors;
        break;
      }
      if (!ReadImage(pixels, size[0], size[1], bytesPerPixel, summary)) continue;
      if (i == 0 || i == count - 1) {
        const std::string path = mOut + "/" + FileStem(camera) + "-single-" + std::to_string(i) + ".png";
        if (!WritePng(path, pixels, size[0], size[1], bytesPerPixel == 3)) ++summary.errors;
      }
      ++summary.images;
      summary.lines += size[1];
      Progress(i + 1, count);
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mApi.closeCVLPort(0, kPort);
    const double got = summary.seconds > 0 ? summary.images / summary.seconds : 0.0;
    const double made = size[1] > 0 ? static_cast<double>(lineRate) / size[1] : 0.0;
    std::printf("single grabs: %.1f frames per second; the camera makes %.1f (%d lines/s over %d lines), "
                "ratio %.2f\n",
                got, made, lineRate, size[1], made > 0 ? got / made : 0.0);
    PrintSummary(summary);
    return summary.errors == 0 ? 0 : 1;
  }

  int LineGrab(const char* camera, int count) {
    const int resolution = kResolution, height = kHeight, overlap = kOverlap;
    int size[2];
    if (!OpenFullWidth(camera, size, true)) return 1;
    int pixelSize = 8;
    mApi.getProperty(0, kPort, "PixelSize", &pixelSize);
    const int bytesPerPixel = pixelSize / 8;
    std::printf("linegrab: %s, %d x %d (%d lines per chunk, %d overlap rows), %d images\n", camera, size[0], size[1],
                resolution, overlap, count);
    Summary summary;
    int stampErrors = 0, overlapErrors = 0;
    long skipped = 0;  // chunks the counter stepped over between two rows read
    const std::size_t stride = static_cast<std::size_t>(size[0]) * bytesPerPixel;
    std::vector<unsigned char> pixels, previous;
    const auto start = std::chrono::steady_clock::now();
    const int base = CallbackCount();
    mApi.setProperty(0, kPort, "continuous", 1);
    auto stampOf = [&](const std::vector<unsigned char>& image, int row) {
      const unsigned char* line = image.data() + stride * row;
      return line[0] | (line[1] << 8) | (line[2] << 16);
    };
    for (int i = 0; i < count; ++i) {
      if (!WaitForCallbacks(base + i + 1, 10000)) {
        ++summary.errors;
        break;
      }
      if (!ReadImage(pixels, size[0], size[1], bytesPerPixel, summary)) continue;
      // The counter stays within a chunk and steps forward from one chunk to the next: by one, or
      // by more where chunks were lost (or an image was not read), which it steps over.
      auto step = [&](int from, int to, bool newChunk) {
        const int forward = (to - from + 10000) % 10000;
        if (!newChunk) {
          if (forward != 0) ++stampErrors;
        } else if (forward == 0 || forward > 5000) {
          ++stampErrors;
        } else {
          skipped += forward - 1;
        }
      };
      for (int row = 1; row < size[1]; ++row) {
        step(stampOf(pixels, row - 1), stampOf(pixels, row), row % resolution == 0);
      }
      if (!previous.empty()) {
        step(stampOf(previous, size[1] - 1), stampOf(pixels, overlap), true);
        if (std::memcmp(pixels.data(), previous.data() + stride * (size[1] - overlap), stride * overlap) != 0) {
          ++overlapErrors;
        }
      }
      previous = pixels;
      const std::string path = mOut + "/" + FileStem(camera) + "-lines-" + std::to_string(i) + ".png";
      if (!WritePng(path, pixels, size[0], size[1], bytesPerPixel == 3)) ++summary.errors;
      ++summary.images;
      summary.lines += height;
      Progress(i + 1, count);
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mApi.setProperty(0, kPort, "continuous", 0);
    int lost = 0;
    mApi.getProperty(0, kPort, "LostChunks", &lost);
    // Back to frame mode, so that the camera is found as it was.
    mApi.setProperty(0, kPort, "LineGrabbingMode", 0);
    mApi.closeCVLPort(0, kPort);
    const std::string stamps = stampErrors != 0 ? "OUT OF STEP"
                               : skipped == 0   ? "continuous, no gap"
                                                : "in step; " + std::to_string(skipped) +
                                                    " chunk(s) stepped over (the driver counted " +
                                                    std::to_string(lost) + " lost)";
    std::printf("line-counter stamps: %s; overlap rows: %s\n", stamps.c_str(),
                overlapErrors == 0 ? "repeat the previous image's last rows" : "DO NOT REPEAT");
    summary.errors += stampErrors + overlapErrors;
    PrintSummary(summary);
    return summary.errors == 0 ? 0 : 1;
  }

  int Get(const char* camera, const char* property) {
    int size[2];
    if (!Open(camera, size)) return 1;
    int value = 0;
    const int ok = mApi.getProperty(0, kPort, property, &value);
    if (ok == 1) std::printf("%s = %d\n", property, value);
    else std::fprintf(stderr, "korvex-host: no property %s\n", property);
    mApi.closeCVLPort(0, kPort);
    return ok == 1 ? 0 : 1;
  }

  int Set(const char* camera, const char* property, int value) {
    int size[2];
    if (!Open(camera, size)) return 1;
    const int ok = mApi.setProperty(0, kPort, property, value);
    int readBack = 0;
    if (ok == 1 && mApi.getProperty(0, kPort, property, &readBack) == 1) std::printf("%s = %d\n", property, readBack);
    if (ok != 1) std::fprintf(stderr, "korvex-host: cannot set %s\n", property);
    mApi.closeCVLPort(0, kPort);
    return ok == 1 ? 0 : 1;
  }

 private:
  static constexpr int kPort = 0;
  static constexpr int kResolution = 64;
  static constexpr int kHeight = 512;
  static constexpr int kOverlap = 64;
  DriverApi& mApi;
  std::string mOut;
};

int Usage() {
  std::fprintf(stderr,
               "usage: korvex-host [--library FILE] [--system-path DIR] [--out DIR] [--offset STEPS]\n"
               "                   [--line-rate LINES] [--drop-every N] [--load N] [--parent X11WINDOW]\n"
               "                   [--screenshot FILE] COMMAND\n"
               "  list | grab [--single] CAMERA N | linegrab CAMERA N | get CAMERA PROPERTY\n"
               "  | set CAMERA PROPERTY VALUE | conveyor CAMERA STEPS | twocams CAMERA OTHER STEPS\n"
               "  | configure CAMERA\n");
  return 2;
}

// The driver installed beside this program (bin/ and the library folder under one prefix), else
// the one built with it in the build tree, else the driver by its soname on the library path.
std::string DefaultLibrary() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed = self.parent_path() / KORVEX_INSTALLED_LIBRARY;
    if (std::filesystem::exists(installed, error)) return installed.lexically_normal().string();
  }
  if (std::filesystem::exists(KORVEX_BUILT_LIBRARY, error)) return KORVEX_BUILT_LIBRARY;
  return KORVEX_LIBRARY_SONAME;
}

}  // namespace

int main(int argc, char** argv) {
  std::string libraryPath = DefaultLibrary();
  std::string systemPath = KORVEX_DEFAULT_SYSTEM_PATH;
  std::string out = ".";
  int offset = 1000;
  int lineRate = 40000;
  int dropEvery = 0;
  int load = 0;
  ConfigureOptions configure;
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (std::strcmp(argv[i], "--library") == 0) {
      libraryPath = argv[i + 1];
    } else if (std::strcmp(argv[i], "--system-path") == 0) {
      systemPath = argv[i + 1];
    } else if (std::strcmp(argv[i], "--out") == 0) {
      out = argv[i + 1];
    } else if (std::strcmp(argv[i], "--offset") == 0) {
      offset = std::atoi(argv[i + 1]);
      // Within half a lap of the counter, or the ejector could not tell a line ahead from one passed.
      if (offset < 1 || offset >= 5000) return Usage();
    } else if (std::strcmp(argv[i], "--parent") == 0) {
      configure.parent = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 0));
    } else if (std::strcmp(argv[i], "--screenshot") == 0) {
      configure.screenshot = argv[i + 1];
    } else if (std::strcmp(argv[i], "--drop-every") == 0) {
      dropEvery = std::atoi(argv[i + 1]);
      if (dropEvery < 2) return Usage();
    } else if (std::strcmp(argv[i], "--load") == 0) {
      load = std::atoi(argv[i + 1]);
      if (load < 0 || load > 64) return Usage();
    } else if (std::strcmp(argv[i], "--line-rate") == 0) {
      lineRate = std::atoi(argv[i + 1]);
      if (lineRate < 100 || lineRate > 200000) return Usage();
    } else {
      return Usage();
    }
  }
  if (i >= argc) return Usage();
  const std::string command = argv[i];
  // "grab --single CAMERA N": one doCVLGrab per image.
  const bool single = command == "grab" && i + 1 < argc && std::strcmp(argv[i + 1], "--single") == 0;
  if (single) ++i;
  const int rest = argc - i - 1;
  if ((command == "grab" || command == "linegrab" || command == "get" || command == "conveyor") && rest != 2) {
    return Usage();
  }
  if ((command == "set" || command == "twocams") && rest != 3) return Usage();
  if (command == "configure" && rest != 1) return Usage();
  if (command != "list" && command != "grab" && command != "linegrab" && command != "get" && command != "set" &&
      command != "conveyor" && command != "twocams" && command != "configure") {
    return Usage();
  }

  os::DynamicLibrary library;
  if (!library.Open(libraryPath)) {
    std::fprintf(stderr, "korvex-host: cannot load %s: %s\n", libraryPath.c_str(), library.Error().c_str());
    return 1;
  }
  DriverApi api;
  if (!ResolveAll(library, api)) return 1;

  std::error_code ignored;
  std::filesystem::create_directories(systemPath, ignored);
  std::filesystem::create_directories(out, ignored);
  SetLogFile(systemPath + "/korvex-host.log");
  ConveyorOptions conveyor;
  if (command == "conveyor" || command == "twocams") {
    conveyor.camera = argv[i + 1];
    if (command == "twocams") conveyor.singleGrab = argv[++i + 1];
    conveyor.steps = std::atol(argv[i + 2]);
    conveyor.offset = offset;
    conveyor.lineRate = lineRate;
    conveyor.dropEvery = dropEvery;
    conveyor.load = load;
    conveyor.rigDirectory = systemPath + "/conveyor";
    conveyor.out = out;
    std::filesystem::create_directories(conveyor.rigDirectory, ignored);
    if (conveyor.steps < 1 || !PrepareConveyorRig(conveyor)) return Usage();
  }

  if (api.initialize(systemPath.c_str(), &LogText) != 1) {
    std::fprintf(stderr, "korvex-host: initialize failed\n");
    return 1;
  }
  int result = 0;
  Host host(api, out);
  if (command == "list") {
    std::printf("network: %s\n", Pylon::NetworkName(Pylon::ChosenNetwork()));
    std::printf("grabbers: %d, ports: %d, supported cameras: %d\n", api.getCVLMaxNoOfGrabbers(),
                api.getCVLMaxNoOfPorts(), api.getCVLNoOfSupportedCameras());
    char** names = api.getCVLCameraConfigNames();
    for (int n = 0; names != nullptr && names[n] != nullptr; ++n) std::printf("  camera %d: %s\n", n, names[n]);
  } else if (command == "grab") {
    const int count = std::atoi(argv[i + 2]);
    result = single ? host.GrabSingle(argv[i + 1], count) : host.Grab(argv[i + 1], count);
  } else if (command == "linegrab") {
    result = host.LineGrab(argv[i + 1], std::atoi(argv[i + 2]));
  } else if (command == "get") {
    result = host.Get(argv[i + 1], argv[i + 2]);
  } else if (command == "conveyor" || command == "twocams") {
    result = RunConveyor(api, conveyor);
  } else if (command == "configure") {
    configure.camera = argv[i + 1];
    configure.systemPath = systemPath;
    result = RunConfigure(api, configure);
  } else {
    result = host.Set(argv[i + 1], argv[i + 2], std::atoi(argv[i + 3]));
  }
  if (api.finalize() != 1) result = 1;
  CloseLogFile();
  return result;
}
