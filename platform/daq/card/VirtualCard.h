#pragma once
// The virtual I/O cards behind both card libraries: cards by device number, each with output ports
// that keep what was written (and read it back) and input ports whose values are set from outside.
//
// Threads: any thread may call anything; the ejector thread and a host thread use one card at
// once. Each card's mutex guards its ports, faults, history and trace file; the card table is
// built once, on first use, and then only read (ResetCards rebuilds it while no card is in use).
// This library is the one model both card libraries and the tests see; all of it is exported.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace os {
class ProfileText;
}

namespace daq {

// Status codes the virtual card reports; the libraries translate them into their own.
enum class CardStatus { kOk, kNoDevice, kBadPort, kRefused };

struct PortWrite {
  int64_t timeNs;  // monotonic nanoseconds (the steady clock's, as NowNs)
  int port;
  uint8_t value;
};

class VirtualCard {
 public:
  VirtualCard(int deviceNumber, int outputChannels, int inputChannels);
  ~VirtualCard();

  int DeviceNumber() const { return mDeviceNumber; }
  int OutputChannels() const { return mOutputChannels; }
  int InputChannels() const { return mInputChannels; }
  int OutputPorts() const { return static_cast<int>(mOutputs.size()); }
  int InputPorts() const { return static_cast<int>(mInputs.size()); }

  CardStatus Write(int port, uint8_t value);
  CardStatus ReadOutput(int port, uint8_t* value);
  CardStatus ReadInput(int port, uint8_t* value);
  bool SetInput(int port, uint8_t value);

  // Faults: a nonzero status makes the call fail with it (library-specific codes, 0 clears).
  void SetOpenStatus(uint32_t status);
  uint32_t OpenStatus();
  void SetFeaturesStatus(uint32_t status);
  uint32_t FeaturesStatus();
  void SetWriteStatus(uint32_t status);
  uint32_t WriteStatus();
  void SetWriteDelayUs(int delayUs);

  // The latest successful output writes (at most kHistorySize), oldest first; ClearHistory forgets
  // them. A ring allocated once, so that writing allocates nothing.
  static constexpr std::size_t kHistorySize = 4096;
  std::vector<PortWrite> History();
  void ClearHistory();
  // Appends every output write to `path` as "time_us,device,port,value" under a header line;
  // empty stops tracing. The file is started afresh. Writes are buffered (a flush per write would
  // be a system call on the ejector's every line): the libraries flush when a handle is closed.
  bool SetTrace(const std::string& path);
  void FlushTrace();

 private:
  const int mDeviceNumber;
  const int mOutputChannels;
  const int mInputChannels;
  std::mutex mLock;
  std::vector<uint8_t> mOutputs;  // guarded by mLock
  std::vector<uint8_t> mInputs;   // guarded by mLock
  uint32_t mOpenStatus = 0;       // guarded by mLock
  uint32_t mFeaturesStatus = 0;   // guarded by mLock
  uint32_t mWriteStatus = 0;      // guarded by mLock
  int mWriteDelayUs = 0;          // guarded by mLock
  std::vector<PortWrite> mHistory;  // guarded by mLock: a ring of the latest kHistorySize writes
  std::size_t mHistoryNext = 0;     // guarded by mLock
  std::size_t mHistoryCount = 0;    // guarded by mLock
  std::FILE* mTrace = nullptr;      // guarded by mLock
};

// The card with this device number, or null. Built on first use from KORVEX_DAQ (or the default
// card 0 with 32 output and 32 input channels).
VirtualCard* FindCard(int deviceNumber);
// The cards an .ini file describes: sections [Device<N>]; a section with bad values is skipped
// with a line on stderr. Never fails on malformed input.
std::vector<std::unique_ptr<VirtualCard>> ReadCards(const std::string& fileName);
// The same from the file's text (`fileName` names it in the messages); without `openTraces` no
// "Trace" file is opened.
std::vector<std::unique_ptr<VirtualCard>> ReadCards(const os::ProfileText& text, const std::string& fileName,
                                                    bool openTraces);
// Forgets every card and builds the table again from KORVEX_DAQ. Only while no card is in use.
void ResetCards();
// The steady clock in nanoseconds (the history's) and in microseconds (the trace's).
int64_t NowNs();
int64_t NowUs();

}  // namespace daq
