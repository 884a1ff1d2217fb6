#include "Conveyor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace host {

namespace {

constexpr int kPort = 0;
constexpr int kResolution = 4;       // belt lines per counter step, and per chunk
constexpr int kHeight = 800;         // new lines per host image
constexpr int kModulus = 10000;      // the line counter wraps here
constexpr int kCardPorts = 4;        // output ports of the rig's card; the ejector writes them all

// Where the inspection looks: a column on the product clear of its centre, and the centre, where
// a blemish sits. The belt is darker than kBright, a blemish darker than kDark.
constexpr int kProductColumn = 700;
constexpr int kCentreColumn = 1024;
constexpr int kBright = 120;
constexpr int kDark = 50;

// The strip: the first products of the run, the belt running left to right, a quarter scale.
constexpr int kStripLines = 12 * 700;
constexpr int kStripScale = 4;

std::string GroundTruthPath(const ConveyorOptions& o) { return o.rigDirectory + "/ground-truth.csv"; }
std::string TracePath(const ConveyorOptions& o) { return o.rigDirectory + "/card-trace.csv"; }

// The lines the ejector called back for, on the ejector's thread; read after the port is closed.
std::mutex gCalledBackLock;
std::vector<int> gCalledBack;  // guarded by gCalledBackLock
void OnCommand(int, int, const char* name, const char* value) {
  if (name == nullptr || value == nullptr || std::strcmp(name, "EjectorLine") != 0) return;
  std::lock_guard<std::mutex> guard(gCalledBackLock);
  gCalledBack.push_back(std::atoi(value));
}

// A product as the inspection found it, in counter steps counted from the open (not wrapped).
struct FoundProduct {
  long first = 0;
  long last = 0;
  bool flawed = false;
};

// Follows the rows as they come: unwraps their line-counter stamps, finds products and their
// blemishes, and keeps the first belt lines for the strip.
class Inspection {
 public:
  explicit Inspection(int width) : mWidth(width), mStrip(static_cast<std::size_t>(StripWidth()) * StripHeight() * 3) {}

  static int StripWidth() { return kStripLines / kStripScale; }
  int StripHeight() const { return mWidth / kStripScale; }
  std::vector<unsigned char>& Strip() { return mStrip; }
  const std::vector<FoundProduct>& Products() const { return mProducts; }
  long Step() const { return mStep; }
  long StampGaps() const { return mGaps; }
  // Rows whose counter stamp is not the one of their belt line (the camera writes the belt line into
  // a row's last four bytes): the counter has left the belt.
  long RowsOffTheBelt() const { return mOffTheBelt; }

  // True when the row ended a flawed product (the last of Products()).
  bool Row(const unsigned char* row) {
    const int stamp = row[0] | (row[1] << 8) | (row[2] << 16);
    long step = mLap * kModulus + stamp;
    if (mStep >= 0 && step < mStep - kModulus / 2) {
      ++mLap;
      step += kModulus;
    }
    if (mStep >= 0 && step != mStep && step != mStep + 1) ++mGaps;
    mLineInStep = step == mStep ? mLineInStep + 1 : 0;
    mStep = step;
    const unsigned char* belt = row + mWidth - 4;
    const long beltLine = static_cast<long>(belt[0] | (belt[1] << 8) | (belt[2] << 16) |
                                            (static_cast<unsigned long>(belt[3]) << 24));
    if (beltLine / kResolution % kModulus != stamp) ++mOffTheBelt;
    KeepForStrip(row, step * kResolution + mLineInStep);

    const bool onProduct = row[kProductColumn] > kBright;
    if (onProduct) {
      if (!mOnProduct) mCurrent = FoundProduct{step, step, false};
      mCurrent.last = step;
      mCurrent.flawed = mCurrent.flawed || row[kCentreColumn] < kDark;
    }
    const bool ended = mOnProduct && !onProduct;
    mOnProduct = onProduct;
    if (!ended) return false;
    mProducts.push_back(mCurrent);
    return mCurrent.flawed;
  }

 private:
  void KeepForStrip(const unsigned char* row, long line) {
    if (line >= kStripLines || line % kStripScale != 0) return;
    const int x = static_cast<int>(line / kStripScale);
    for (int y = 0; y < StripHeight(); ++y) {
      unsigned char* pixel = &mStrip[(static_cast<std::size_t>(y) * StripWidth() + x) * 3];
      pixel[0] = pixel[1] = pixel[2] = row[y * kStripScale];
    }
  }

  int mWidth;
  std::vector<unsigned char> mStrip;
  std::vector<FoundProduct> mProducts;
  FoundProduct mCurrent;
  bool mOnProduct = false;
  long mStep = -1;
  long mLap = 0;
  int mLineInStep = 0;
  long mGaps = 0;
  long mOffTheBelt = 0;
};

// ---- the check ------------------------------------------------------------------------------

struct Frame {
  long first = 0;
  long last = 0;
  bool delivered = false;
  long long timeNs = 0;
};

struct Product {
  long index = 0;
  long first = 0;  // belt lines
  long last = 0;
  bool flawed = false;
};

struct GroundTruth {
  std::vector<Frame> frames;
  std::vector<Product> products;
};

bool ReadGroundTruth(const std::string& path, GroundTruth& truth) {
  std::ifstream file(path);
  if (!file) return false;
  std::string line;
  std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    char kind[16] = {0};
    long long index = 0, first = 0, last = 0, time = 0;
    int value = 0;
    if (std::sscanf(line.c_str(), "%15[a-z],%lld,%lld,%lld,%d,%lld", kind, &index, &first, &last, &value, &time) != 6) {
      return false;
    }
    if (std::strcmp(kind, "frame") == 0) {
      truth.frames.push_back(Frame{static_cast<long>(first), static_cast<long>(last), value != 0, time});
    } else if (std::strcmp(kind, "product") == 0) {
      truth.products.push_back(Product{static_cast<long>(index), static_cast<long>(first), static_cast<long>(last),
                                       value != 0});
    }
  }
  return true;
}

struct PortWrite {
  long long timeUs = 0;
  int port = 0;
  int value = 0;
};

bool ReadTrace(const std::string& path, std::vector<PortWrite>& writes) {
  std::ifstream file(path);
  if (!file) return false;
  std::string line;
  std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    PortWrite write;
    int device = 0;
    if (std::sscanf(line.c_str(), "%lld,%d,%d,%d", &write.timeUs, &device, &write.port, &write.value) != 4) return false;
    writes.push_back(write);
  }
  return true;
}

// kBeyondRun: the run ended before the product was past the ejector, or before the host had read it
// to its end. kFlawLost: every line of its blemish was lost on the way, so no host could see it.
enum class Verdict { kPassed, kRejected, kMissed, kRejectedWrongly, kBeyondRun, kUnseen, kFlawLost };

// The blemish is a disc of radius 45 at the product's centre: it darkens the centre column on the
// 89 lines around the product's middle line.
constexpr long kBlemishReach = 44;

struct Check {
  long counterSteps = 0;     // counter steps the driver made: a step for every chunk up to the last delivered
  long droppedFrames = 0;    // chunks lost on the way or for want of a buffer, before the last delivered one
  long droppedWhileRead = 0; // of those, the ones before the last step the host read
  long processedSteps = 0;   // ejector lines in the trace, four port writes each
  bool traceInOrder = true;
  std::vector<long> fires;   // steps at which port 0 went on
  std::vector<Verdict> verdicts;  // per ground-truth product
  std::vector<long> windowFirst, windowLast;  // per product: the steps it passes the ejector
  long strayFires = 0;       // fires in no product's window
  std::vector<double> latencyUs;
  long Count(Verdict v, bool flawed, const GroundTruth& truth) const {
    long n = 0;
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
      if (verdicts[i] == v && truth.products[i].flawed == flawed) ++n;
    }
    return n;
  }
};

// `hostLastStep`: the last counter step the host read. It sees a product end on a belt row after the
// product, so products whose last step is not before it are not judged.
Check Judge(const GroundTruth& truth, const std::vector<PortWrite>& trace, int offset, long hostLastStep) {
  Check check;
  // The counter follows the belt: the lines of chunk f (from 0, lost ones included) carry the stamp
  // f, and the ejector's line f + 1 is due when chunk f is complete. A lost chunk's line is
  // processed late, with the next chunk delivered: 0 stands for no latency of its own.
  std::vector<long long> timeOfStep(1, 0);
  for (std::size_t f = 0; f < truth.frames.size(); ++f) {
    timeOfStep.push_back(truth.frames[f].delivered ? truth.frames[f].timeNs : 0);
    if (truth.frames[f].delivered) check.counterSteps = static_cast<long>(f) + 1;
  }
  for (long f = 0; f < check.counterSteps; ++f) {
    if (truth.frames[static_cast<std::size_t>(f)].delivered) continue;
    ++check.droppedFrames;
    if (f < hostLastStep) ++check.droppedWhileRead;
  }
  // Ejector lines: the trace holds each processed line's four writes, port 0 first.
  check.processedSteps = static_cast<long>(trace.size()) / kCardPorts;
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].port != static_cast<int>(i % kCardPorts)) check.traceInOrder = false;
  }
  if (trace.size() % kCardPorts != 0) check.traceInOrder = false;
  for (long k = 1; k <= check.processedSteps; ++k) {
    const PortWrite& write = trace[static_cast<std::size_t>((k - 1) * kCardPorts)];
    if ((write.value & 1) != 0) check.fires.push_back(k);
    if (k < static_cast<long>(timeOfStep.size()) && timeOfStep[static_cast<std::size_t>(k)] != 0) {
      check.latencyUs.push_back(static_cast<double>(write.timeUs * 1000 - timeOfStep[static_cast<std::size_t>(k)]) /
                                1000.0);
    }
  }
  const long frameLines = truth.frames.empty() ? 1 : truth.frames[0].last - truth.frames[0].first + 1;
  std::vector<bool> fireUsed(check.fires.size(), false);
  for (const Product& product : truth.products) {
    // The steps over which it passed the camera (the host saw it only in chunks delivered).
    long firstStep = -1, lastStep = -1;
    const std::size_t lastFrame = std::min(static_cast<std::size_t>(product.last / frameLines), truth.frames.size() - 1);
    for (std::size_t f = static_cast<std::size_t>(product.first / frameLines); f <= lastFrame; ++f) {
      if (!truth.frames[f].delivered) continue;
      if (firstStep < 0) firstStep = static_cast<long>(f);
      lastStep = static_cast<long>(f);
    }
    if (firstStep < 0) {
      check.verdicts.push_back(Verdict::kUnseen);
      check.windowFirst.push_back(0);
      check.windowLast.push_back(0);
      continue;
    }
    // The product passes the ejector `offset` steps after it passed the camera.
    const long first = firstStep + offset;
    const long last = lastStep + offset;
    check.windowFirst.push_back(first);
    check.windowLast.push_back(last);
    bool fired = false;
    for (std::size_t i = 0; i < check.fires.size(); ++i) {
      if (check.fires[i] >= first && check.fires[i] <= last) {
        fired = true;
        fireUsed[i] = true;
      }
    }
    // Not yet fired and still short of the ejector (or passing it) when the run ended, or ended
    // after the host had stopped reading: not judged.
    if (!fired && (last > check.processedSteps || lastStep >= hostLastStep)) {
      check.verdicts.push_back(Verdict::kBeyondRun);
      continue;
    }
    if (product.flawed && !fired) {
      const long middle = product.first + (product.last - product.first + 1) / 2;
      const long lastFlawFrame = (middle + kBlemishReach) / frameLines;
      bool flawSeen = false;
      for (long f = (middle - kBlemishReach) / frameLines; f <= lastFlawFrame && !flawSeen; ++f) {
        flawSeen = f < static_cast<long>(truth.frames.size()) && truth.frames[static_cast<std::size_t>(f)].delivered;
      }
      if (!flawSeen) {
        check.verdicts.push_back(Verdict::kFlawLost);
        continue;
      }
    }
    if (product.flawed) {
      check.verdicts.push_back(fired ? Verdict::kRejected : Verdict::kMissed);
    } else {
      check.verdicts.push_back(fired ? Verdict::kRejectedWrongly : Verdict::kPassed);
    }
  }
  for (bool used : fireUsed) {
    if (!used) ++check.strayFires;
  }
  return check;
}

double Percentile(std::vector<double> values, int percent) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() * static_cast<std::size_t>(percent) / 100];
}

// Frames every product of the strip in the colour of its verdict.
void FrameProducts(std::vector<unsigned char>& strip, int width, int height, const GroundTruth& truth,
                   const Check& check, int sensorWidth) {
  const int margin = 3, thickness = 3;
  const int top = sensorWidth / 5 / kStripScale - margin;
  const int bottom = (sensorWidth - sensorWidth / 5) / kStripScale + margin;
  for (std::size_t i = 0; i < truth.products.size(); ++i) {
    const Product& product = truth.products[i];
    if (product.last >= kStripLines) break;
    unsigned char colour[3] = {40, 200, 80};  // passed
    switch (check.verdicts[i]) {
      case Verdict::kRejected: colour[0] = 230, colour[1] = 40, colour[2] = 40; break;
      case Verdict::kMissed: colour[0] = 250, colour[1] = 210, colour[2] = 0; break;
      case Verdict::kRejectedWrongly: colour[0] = 220, colour[1] = 0, colour[2] = 220; break;
      case Verdict::kBeyondRun:
      case Verdict::kFlawLost:
      case Verdict::kUnseen: colour[0] = colour[1] = colour[2] = 160; break;
      case Verdict::kPassed: break;
    }
    const int left = static_cast<int>(product.first / kStripScale) - margin;
    const int right = static_cast<int>(product.last / kStripScale) + margin;
    auto put = [&](int x, int y) {
      if (x < 0 || x >= width || y < 0 || y >= height) return;
      std::memcpy(&strip[(static_cast<std::size_t>(y) * width + x) * 3], colour, 3);
    };
    for (int t = 0; t < thickness; ++t) {
      for (int x = left; x <= right; ++x) {
        put(x, top + t);
        put(x, bottom - t);
      }
      for (int y = top; y <= bottom; ++y) {
        put(left + t, y);
        put(right - t, y);
      }
    }
  }
}

// Port 0 against the counter over the whole run and across the counter's first wrap, with the
// windows in which flawed products pass the ejector.
bool PlotTimeline(const ConveyorOptions& options, const GroundTruth& truth, const Check& check,
                  const std::vector<PortWrite>& trace) {
  const std::string data = options.rigDirectory + "/port0.dat";
  const std::string windows = options.rigDirectory + "/windows.dat";
  {
    std::ofstream out(data);
    for (long k = 1; k <= check.processedSteps; ++k) {
      out << k << ' ' << (trace[static_cast<std::size_t>((k - 1) * kCardPorts)].value & 1) << ' ' << k % kModulus
          << '\n';
    }
    std::ofstream box(windows);
    for (std::size_t i = 0; i < truth.products.size(); ++i) {
      if (!truth.products[i].flawed || check.verdicts[i] == Verdict::kUnseen) continue;
      box << (check.windowFirst[i] + check.windowLast[i]) / 2.0 << ' ' << 0.5 << ' '
          << (check.windowLast[i] - check.windowFirst[i]) / 2.0 + 0.5 << ' ' << 0.5 << '\n';
    }
  }
  const std::string png = options.out + "/conveyor-timeline.png";
  const std::string script = options.rigDirectory + "/timeline.gp";
  std::ofstream(script)
      << "set terminal pngcairo size 1400,900 font 'sans,10'\n"
      << "set output '" << png << "'\n"
      << "set multiplot layout 2,1 title 'Ejector port 0 (bit 0) against the line counter'\n"
      << "set ylabel 'port 0'\nset yrange [-0.1:1.4]\nset ytics (0,1)\n"
      << "set y2label 'counter value'\nset y2range [0:11000]\nset y2tics 0,2500,10000\n"
      << "set style fill transparent solid 0.25 noborder\nset key top left horizontal\n"
      << "set xlabel 'counter steps since the open'\nset xrange [0:" << check.processedSteps << "]\n"
      << "plot '" << windows << "' using 1:2:3:4 with boxxyerror lc rgb '#d03030' title 'a flawed product passes the ejector', "
      << "'" << data << "' using 1:2 with impulses lc rgb '#202020' title 'port 0', "
      << "'" << data << "' using 1:3 axes x1y2 with lines lc rgb '#3070c0' title 'counter (wraps at 10000)'\n"
      << "set xrange [9000:11000]\nset y2range [0:11000]\n"
      << "set xlabel 'steps 9000 to 11000: the counter wraps from 9999 to 0, the ejector goes on in step'\n"
      << "plot '" << windows << "' using 1:2:3:4 with boxxyerror lc rgb '#d03030' notitle, "
      << "'" << data << "' using 1:2 with steps lc rgb '#202020' notitle, "
      << "'" << data << "' using 1:3 axes x1y2 with lines lc rgb '#3070c0' notitle\n"
      << "unset multiplot\n";
  const std::string command = "gnuplot '" + script + "'";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "korvex-host: gnuplot failed on %s (is gnuplot-nox installed?)\n", script.c_str());
    return false;
  }
  std::printf("  timeline: %s\n", png.c_str());
  return true;
}

}  // namespace

bool PrepareConveyorRig(const ConveyorOptions& options) {
  const std::string network = options.rigDirectory + "/network.ini";
  const std::string cards = options.rigDirectory + "/cards.ini";
  std::ofstream(network) << "[mono]\nFullName=Basler raL2048-48gm#21000001\n"
                         << "FriendlyName=Basler raL2048-48gm (21000001)\nPattern=conveyor\n"
                         << "LineRate=" << options.lineRate << "\nGroundTruth=" << GroundTruthPath(options) << "\n"
                         << "DropEvery=" << options.dropEvery << "\nRealTime=1\n"
                         << (options.singleGrab.empty()
                                 ? std::string()
                                 : "[second]\nFullName=Basler raL2048-48gm#21000003\nFriendlyName=" +
                                       options.singleGrab + "\nPattern=ramp\nLineRate=48000\n");
  std::ofstream(cards) << "[Device0]\nTrace=" << TracePath(options) << "\n";
  if (!std::ifstream(network) || !std::ifstream(cards)) {
    std::fprintf(stderr, "korvex-host: cannot write the conveyor rig into %s\n", options.rigDirectory.c_str());
    return false;
  }
  setenv("KORVEX_CAMERAS", network.c_str(), 1);
  setenv("KORVEX_DAQ", cards.c_str(), 1);
  return true;
}

namespace {

// The second camera of twocams: single grabs, one after another, each image read whole.
class SingleGrabber {
 public:
  SingleGrabber(DriverApi& api, const std::string& camera) : mApi(api) {
    int size[2] = {0, 0};
    if (camera.empty() || mApi.openCVLPort(0, kSecondPort, camera.c_str(), size) != 1) return;
    sRows = size[1];
    sWidth = size[0];
    sApi = &api;
    sImages = 0;
    mApi.setCompleteCallback(0, kSecondPort, &OnImage);
    mOpen = true;
    mStart = std::chrono::steady_clock::now();
    mThread = std::thread([this] {
      while (!mStop) {
        const int before = sImages;
        if (mApi.doCVLGrab(0, kSecondPort) != 1) break;
        for (int i = 0; i < 2000 && sImages == before && !mStop; ++i) {
          std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
      }
    });
  }
  bool IsOpen() const { return mOpen; }
  // Stops grabbing, closes the port and prints what it got.
  void Finish() {
    if (!mOpen) return;
    mStop = true;
    mThread.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
    mApi.closeCVLPort(0, kSecondPort);
    std::printf("  %-44s %12s %12s\n", "single grabs on the second camera", "",
                (std::to_string(sImages.load()) + " (" + std::to_string(static_cast<int>(sImages / seconds)) + "/s)")
                    .c_str());
    mOpen = false;
  }

 private:
  static constexpr int kSecondPort = 1;
  static void OnImage(int, int port) {
    std::vector<unsigned char> row(static_cast<std::size_t>(sWidth) * 3);
    for (int r = 0; r < sRows; ++r) sApi->getCVLGrabRow(0, port, row.data(), r, 0, sWidth - 1);
    ++sImages;
  }
  static inline DriverApi* sApi = nullptr;
  static inline int sRows = 0;
  static inline int sWidth = 0;
  static inline std::atomic<int> sImages{0};
  DriverApi& mApi;
  bool mOpen = false;
  std::atomic<bool> mStop{false};
  std::chrono::steady_clock::time_point mStart;
  std::thread mThread;
};

}  // namespace

int RunConveyor(DriverApi& api, const ConveyorOptions& options) {
  const char* camera = options.camera.c_str();
  int size[2] = {0, 0};
  // The settings are the camera's; they take effect on the next open.
  if (api.openCVLPort(0, kPort, camera, size) != 1) {
    std::fprintf(stderr, "korvex-host: cannot open %s (see the log)\n", camera);
    return 1;
  }
  int minimum = 0, maximum = 0;
  if (api.getPropertyRange(0, kPort, "Width", &minimum, &maximum) == 1) api.setProperty(0, kPort, "Width", maximum);
  const struct {
    const char* name;
    int value;
  } settings[] = {{"LineGrabbingMode", 1}, {"LineCounterResolution", kResolution}, {"Height", kHeight},
                  {"OverlappedLines", 0},  {"EjectorControl", 1},                 {"EjectorSetAll", 1},
                  {"EjectorInverted", 0},  {"EjectorStaticMode", 0},              {"EmbedTimeStamp", 0}};
  for (const auto& setting : settings) api.setProperty(0, kPort, setting.name, setting.value);
  api.closeCVLPort(0, kPort);
  if (api.openCVLPort(0, kPort, camera, size) != 1) {
    std::fprintf(stderr, "korvex-host: cannot open %s with the ejector (see the log)\n", camera);
    return 1;
  }
  api.setCompleteCallback(0, kPort, &OnComplete);
  api.setCmdCallback(0, kPort, &OnCommand);
  std::printf("conveyor: %s, %d pixels, %d lines a second, %d lines a counter step, %d-line images; the ejector %d "
              "steps downstream\n",
              camera, size[0], options.lineRate, kResolution, size[1], options.offset);

  // twocams: the second camera single-grabs on its own thread all through the run.
  SingleGrabber second(api, options.singleGrab);
  if (!options.singleGrab.empty()) {
    if (!second.IsOpen()) {
      std::fprintf(stderr, "korvex-host: cannot open %s (see the log)\n", options.singleGrab.c_str());
      api.closeCVLPort(0, kPort);
      return 1;
    }
    std::printf("twocams: %s single-grabbed on port 1 all the while\n", options.singleGrab.c_str());
  }

  // --load: other work on the machine, on every processor it has.
  std::atomic<bool> loadEnds{false};
  std::vector<std::thread> load;
  for (int t = 0; t < options.load; ++t) {
    load.emplace_back([&loadEnds] {
      for (volatile unsigned long spin = 0; !loadEnds.load(std::memory_order_relaxed); spin = spin + 1) {
      }
    });
  }
  if (options.load > 0 || options.dropEvery > 0) {
    std::printf("under load: %d busy threads beside the inspection; the camera loses %s\n", options.load,
                options.dropEvery > 0 ? ("one chunk in " + std::to_string(options.dropEvery)).c_str() : "none");
  }

  Inspection inspection(size[0]);
  std::vector<unsigned char> row(static_cast<std::size_t>(size[0]));
  long booked = 0, refused = 0, shown = -1;
  int errors = 0;
  const auto start = std::chrono::steady_clock::now();
  const int base = CallbackCount();
  api.setProperty(0, kPort, "continuous", 1);
  for (int image = 0; inspection.Step() < options.steps; ++image) {
    if (!WaitForCallbacks(base + image + 1, 5000)) {
      std::fprintf(stderr, "\nkorvex-host: no image for 5 s\n");
      ++errors;
      break;
    }
    for (int r = 0; r < size[1]; ++r) {
      if (api.getCVLGrabRow(0, kPort, row.data(), r, 0, size[0] - 1) != 1) {
        ++errors;
        break;
      }
      if (!inspection.Row(row.data())) continue;
      // A flawed product: the ejector fires when its middle passes, `offset` steps on.
      const FoundProduct& product = inspection.Products().back();
      const long at = (product.first + product.last) / 2 + options.offset;
      char command[48];
      std::snprintf(command, sizeof command, "EjectorLine %ld 00000001 1", at % kModulus);
      if (api.setProperty(0, kPort, command, 0) == 1) ++booked;
      else ++refused;
    }
    const long done = std::min(inspection.Step(), options.steps);
    if (done * 100 / options.steps != shown || done == options.steps) {
      shown = done * 100 / options.steps;
      Progress(static_cast<int>(done), static_cast<int>(options.steps));
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  second.Finish();
  api.setProperty(0, kPort, "continuous", 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the ejector's last pass
  loadEnds = true;
  for (std::thread& thread : load) thread.join();
  int lostChunks = 0;
  api.getProperty(0, kPort, "LostChunks", &lostChunks);
  // Back to frame mode without the ejector, so that the camera is found as it was.
  api.setProperty(0, kPort, "LineGrabbingMode", 0);
  api.setProperty(0, kPort, "EjectorControl", 0);
  api.closeCVLPort(0, kPort);

  GroundTruth truth;
  std::vector<PortWrite> trace;
  if (!ReadGroundTruth(GroundTruthPath(options), truth) || !ReadTrace(TracePath(options), trace)) {
    std::fprintf(stderr, "korvex-host: cannot read %s or %s\n", GroundTruthPath(options).c_str(),
                 TracePath(options).c_str());
    return 1;
  }
  const Check check = Judge(truth, trace, options.offset, inspection.Step());
  long hostFlawed = 0;
  for (const FoundProduct& product : inspection.Products()) hostFlawed += product.flawed ? 1 : 0;
  long truthProducts = 0, truthFlawed = 0;
  for (std::size_t i = 0; i < truth.products.size(); ++i) {
    if (check.verdicts[i] == Verdict::kUnseen) continue;
    ++truthProducts;
    truthFlawed += truth.products[i].flawed ? 1 : 0;
  }
  std::size_t callbacks = 0;
  {
    std::lock_guard<std::mutex> guard(gCalledBackLock);
    callbacks = gCalledBack.size();
  }
  const long rejected = check.Count(Verdict::kRejected, true, truth);
  const long missed = check.Count(Verdict::kMissed, true, truth);
  const long wrongly = check.Count(Verdict::kRejectedWrongly, false, truth) + check.strayFires;
  const long beyond = check.Count(Verdict::kBeyondRun, true, truth) + check.Count(Verdict::kBeyondRun, false, truth);
  const long flawsLost = check.Count(Verdict::kFlawLost, true, truth);
  // Every step up to the last line the host read was counted, so the ejector must have processed
  // it; chunks in the camera's queue when the grab stopped may have been dropped uncounted.
  const bool everyLine = check.traceInOrder && check.processedSteps >= inspection.Step() + 1 &&
                         check.processedSteps <= check.counterSteps;
  // The driver learns of a loss from the next chunk's block number. Every loss before the host's
  // last row was learnt; one just before the stop may not be, when the chunk after it came in
  // after the grab had stopped, and was given back unread.
  const bool onTheBelt = inspection.RowsOffTheBelt() == 0 && lostChunks >= check.droppedWhileRead &&
                         lostChunks <= check.droppedFrames;

  std::printf("conveyor inspection: %ld counter steps (%.1f wraps of the counter), %ld belt lines, %.1f s\n",
              check.counterSteps, static_cast<double>(check.counterSteps) / kModulus,
              check.counterSteps * kResolution, seconds);
  std::printf("  %-44s %12s %12s\n", "", "ground truth", "inspection");
  std::printf("  %-44s %12ld %12zu\n", "products seen", truthProducts, inspection.Products().size());
  std::printf("  %-44s %12ld %12ld\n", "flawed", truthFlawed, hostFlawed);
  std::printf("  %-44s %12s %12ld\n", "rejected (flawed, ejected)", "", rejected);
  std::printf("  %-44s %12s %12ld\n", "missed (flawed, not ejected)", "", missed);
  std::printf("  %-44s %12s %12ld\n", "rejected wrongly", "", wrongly);
  std::printf("  %-44s %12ld %12s\n", "still before the ejector at the end", beyond, "");
  if (flawsLost != 0) std::printf("  %-44s %12ld %12s\n", "flaws lost on the way with their lines", flawsLost, "");
  std::printf("  %-44s %12s %12s\n", "ejector commands booked / refused", "",
              (std::to_string(booked) + " / " + std::to_string(refused)).c_str());
  std::printf("  %-44s %12s %12zu\n", "command callbacks", "", callbacks);
  std::printf("  %-44s %12ld %12s\n", "ejector lines processed (once, in order)", check.counterSteps,
              (std::to_string(check.processedSteps) + (everyLine ? " yes" : " NO")).c_str());
  std::printf("  %-44s %12ld %12d\n", "chunks lost (camera) / LostChunks (driver)", check.droppedFrames, lostChunks);
  std::printf("  %-44s %12s %12ld\n", "stamp gaps the host saw", "", inspection.StampGaps());
  std::printf("  %-44s %12s %12s\n", "counter stamps on their belt lines", "",
              (std::to_string(inspection.RowsOffTheBelt()) + " off" + (onTheBelt ? " yes" : " NO")).c_str());
  std::printf("  %-44s %12s %9.1f us\n", "step-to-write latency p50 (chunk to port 0)", "",
              Percentile(check.latencyUs, 50));
  std::printf("  %-44s %12s %9.1f us\n", "step-to-write latency p99", "", Percentile(check.latencyUs, 99));

  std::vector<unsigned char>& strip = inspection.Strip();
  const int stripHeight = inspection.StripHeight();
  FrameProducts(strip, Inspection::StripWidth(), stripHeight, truth, check, size[0]);
  const std::string stripPath = options.out + "/conveyor-strip.png";
  if (!WritePng(stripPath, strip, Inspection::StripWidth(), stripHeight, true)) ++errors;
  std::printf("  strip: %s (red: rejected, green: passed, yellow: missed, magenta: rejected wrongly)\n",
              stripPath.c_str());
  if (!PlotTimeline(options, truth, check, trace)) ++errors;

  const bool passed = errors == 0 && missed == 0 && wrongly == 0 && everyLine && onTheBelt && truthFlawed > 0;
  if (passed) {
    std::printf("conveyor: every flawed product rejected, no good one\n");
  } else {
    std::printf("conveyor: FAILED:%s%s%s%s%s%s\n", missed != 0 ? " flawed products missed;" : "",
                wrongly != 0 ? " products rejected wrongly;" : "", everyLine ? "" : " ejector lines lost or out of order;",
                onTheBelt ? "" : " the counter left the belt;",
                truthFlawed == 0 ? " no flawed product came by;" : "", errors != 0 ? " images, rows or pictures failed;" : "");
  }
  return passed ? 0 : 1;
}

}  // namespace host
