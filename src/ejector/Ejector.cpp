// The ejector: the grammar of line commands and of the static command, the singleton's life, its
// state machine and its worker thread.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "driver/DriverState.h"
#include "os/Time.h"

#include "driver/Log.h"
#include "driver/RealTime.h"
#include "ejector/Ejector.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An unsigned 32-bit value read as formatted stream input in hexadecimal mode reads it: blanks
// skipped, an optional sign (a minus negates modulo 2^32), an optional "0x", then hex digits up to
// the first other character. Fails without a digit or when the digits exceed 32 bits.
bool ReadHex32(const char* text, uint32_t* value) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  bool digits = false;
  if (*p == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;  // the prefix needs a digit after it
  } else if (*p == '0') {
    digits = true;
  }
  uint64_t magnitude = 0;
  for (int d; (d = HexDigit(*p)) >= 0; ++p) {
    magnitude = magnitude * 16 + static_cast<uint64_t>(d);
    if (magnitude > 0xFFFFFFFFull) return false;
    digits = true;
  }
  if (!digits) return false;
  const uint32_t v = static_cast<uint32_t>(magnitude);
  *value = negative ? static_cast<uint32_t>(0u - v) : v;
  return true;
}

// Least significant byte first: the last two hex digits are port 0.
void Split(uint32_t value, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool Ejector::ParseCommand(const char* command, EjectorCommand* ejectorCmd) {
  // A record to fill is required.
  if (ejectorCmd == nullptr) {
    Log(1, "Ejector::ParseCommand: ERROR: bad argument 'ejectorCmd'\n");
    throw "Err";
  }
  // At least the eight hex digits.
  const std::size_t length = command != nullptr ? std::strlen(command) : 0;
  if (length < 8) {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command too short [%s]\n", SafeText(command));
    return false;
  }
  // The output bytes.
  uint32_t bytes = 0;
  if (!ReadHex32(command, &bytes)) {
    Log(1, "Ejector::ParseCommand: ERROR: could not interpret bytes [%s]\n", command);
    return false;
  }
  Split(bytes, ejectorCmd->bytes);
  ejectorCmd->assigned = 1;
  // Bytes only.
  if (length == 8) return true;
  // Then a callback flag, or a flag and a mask.
  if (length != 10 && length != 19) {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid callback/mask [%s]\n", command);
    return false;
  }
  // The callback flag's separator.
  if (command[8] != ' ') {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid callback separator[%s]\n", command);
    return false;
  }
  // The callback flag.
  ejectorCmd->callback = command[9] != '0' ? 1 : 0;
  if (length == 10) return true;
  // The mask's separator.
  if (command[10] != ' ') {
    Log(1, "Ejector::ParseCommand: ERROR: ejector command - invalid mask separator [%s]\n", command);
    return false;
  }
  // The mask.
  uint32_t mask = 0;
  if (!ReadHex32(command + 11, &mask)) {
    Log(1, "Ejector::ParseCommand: ERROR: could not interpret mask bytes [%s]\n", command);
    return false;
  }
  Split(mask, ejectorCmd->mask);
  return true;
}

void Ejector::SetLine(const char* text) {
  // A text is required.
  if (text == nullptr) {
    Log(1, "Ejector::SetLine: ERROR: no command string supplied\n");
    return;
  }
  // "EjectorLine", a blank at 11 and room for a command.
  const std::size_t length = std::strlen(text);
  if (length < 22 || text[11] != ' ') {
    Log(1, "Ejector::SetLine: ERROR: unrecognized command: %s\n", text);
    return;
  }
  // The line number, read as atoi reads it but without its overflow: a number beyond the integer
  // range would wrap into some other line.
  const long long number = std::strtoll(text + 11, nullptr, 10);
  // The blank before the command.
  const char* blank = std::strchr(text + 12, ' ');
  if (blank == nullptr) {
    Log(1, "Ejector::SetLine: ERROR: command too short: %s\n", text);
    return;
  }
  // The command.
  EjectorCommand command{};
  if (!ParseCommand(blank + 1, &command)) {
    Log(1, "Ejector::SetLine: ERROR: invalid command: %s\n", text);
    return;
  }
  if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
    // The difference saturates where strtoll did.
    const int current = GetCurrentLine();
    const long long lowest = std::numeric_limits<long long>::min();
    Log(1, "Ejector::SetLine: ERROR line %lld passed current %d diff %lld\n", number, current,
        number < lowest + current ? lowest : number - current);
    return;
  }
  // The line within the counter's range.
  const int line = static_cast<int>(number) % kLines;
  // A line up to half the counter's range ahead across its wrap is still to come, not passed:
  // on a running conveyor, rejects aimed just past 9999 must not be lost.
  const int current = GetCurrentLine();
  const int diff = line - current;
  const bool ahead = diff >= 1 || (line >= 0 && diff + kLines <= kLines / 2);
  if (!ahead) {
    Log(1, "Ejector::SetLine: ERROR line %d passed current %d diff %d\n", line, current, diff);
    return;
  }
  // Stored.
  Log(3, "Ejector::SetLine: setting buffer, line=%d\n bytes: %d %d %d %d, from str= [%s]", line, command.bytes[0],
      command.bytes[1], command.bytes[2], command.bytes[3], text);
  mBuffer.SetCommand(line, command);
}

void Ejector::SetStaticCommand(const char* text) {
  // A text is required.
  if (text == nullptr) {
    Log(1, "Ejector::SetStaticCommand: ERROR: no command string supplied\n");
    return;
  }
  // "EjectorStaticCommand", a blank at 20, eight hex digits.
  if (std::strlen(text) != 29 || text[20] != ' ') {
    Log(1, "Ejector::SetStaticCommand: ERROR: unrecognized command: %s\n", text);
    return;
  }
  // Parsed aside and stored as one word: the ejector thread may be reading the bytes.
  EjectorCommand parsed = GetStaticCommand();
  if (!ParseCommand(text + 21, &parsed)) {
    Log(1, "Ejector::SetStaticCommand: ERROR: invalid command: %s\n", text);
    return;
  }
  const uint32_t word = static_cast<uint32_t>(parsed.bytes[0]) | static_cast<uint32_t>(parsed.bytes[1]) << 8 |
                        static_cast<uint32_t>(parsed.bytes[2]) << 16 | static_cast<uint32_t>(parsed.bytes[3]) << 24;
  mStaticCommand.store(word, std::memory_order_relaxed);
  // Logged.
  Log(3, "Ejector::SetStaticCommand: setting static command: %d %d %d %d, from str= [%s]\n", parsed.bytes[0],
      parsed.bytes[1], parsed.bytes[2], parsed.bytes[3], text);
}

EjectorCommand Ejector::GetStaticCommand() const {
  const uint32_t word = mStaticCommand.load(std::memory_order_relaxed);
  EjectorCommand command{};
  Split(word, command.bytes);
  return command;
}

// ---- the singleton, its life and its state machine ------------------------------------------

namespace {

std::mutex gInstanceLock;       // guards gInstance; host threads only
Ejector* gInstance = nullptr;
uint8_t gCommandsSeen = 0;      // the worker thread's: command bytes seen in the last 500 lines
thread_local bool tWorker = false;  // set on an ejector's worker thread

}  // namespace

Ejector* Ejector::GetInstance() {
  std::lock_guard<std::mutex> guard(gInstanceLock);
  if (gInstance == nullptr) gInstance = new (std::nothrow) Ejector();
  if (gInstance == nullptr) {
    Log(1, "Ejector::GetInstance: ERROR: no valid instance\n");
    throw "Err";
  }
  return gInstance;
}

bool Ejector::DestroyInstance() {
  // The thread cannot wait for its own end: the ejector stays, unlinked, and ends with the driver.
  if (OnWorkerThread()) {
    Log(1, "Ejector::DestroyInstance: ERROR: refused on the ejector's own thread (a command callback)\n");
    return false;
  }
  Ejector* ejector;
  {
    std::lock_guard<std::mutex> guard(gInstanceLock);
    ejector = gInstance;
    gInstance = nullptr;
  }
  delete ejector;
  return true;
}

std::mutex& Ejector::LifecycleLock() {
  static std::mutex lock;
  return lock;
}

bool Ejector::OnWorkerThread() { return tWorker; }

Ejector::~Ejector() {
  Log(2, "Ejector::~Ejector: entering\n");
  Destroy();
  Log(2, "Ejector::~Ejector: leaving\n");
  mDevice.Close();
  mBuffer.Free();
}

bool Ejector::Init(int deviceNumber, int library) {
  // Log the entry.
  Log(2, "Ejector::Init: entering\n");
  // Once only.
  if (mInitialized) {
    Log(1, "Ejector::Init: already initialized\n");
    return false;
  }
  // The wake event.
  if (mWakeEvent == nullptr) {
    mWakeEvent.reset(new (std::nothrow) os::AutoResetEvent(false));
    if (mWakeEvent == nullptr) {
      Log(1, "Ejector::Init: could not create wait event\n");
      return false;
    }
  }
  // The card, by library.
  if (library != 0) {
    mDevice.OpenBioDaq(deviceNumber, false);
  } else {
    mDevice.OpenAdsapi(deviceNumber, false);
  }
  if (!mDevice.IsOpen()) {
    Log(1, "Ejector::Init: ERROR initializing advantech\n");
    return false;
  }
  // The card's library now has objects of its own: the driver must stop before they go at exit.
  DriverState::Get().ArmExitHook();
  // Suspended, with its thread.
  {
    std::lock_guard<std::mutex> guard(mStateLock);
    mState = eSuspended;
  }
  if (!mThread.IsRunning()) {
    mThread.Start("korvex-ejector", [this] {
      tWorker = true;
      Log(2, "Ejector::static_ThreadMain: entering");
      ThreadMain();
    });
    Log(2, "Ejector::Init: thread created:%d\n", static_cast<int>(mThread.SystemId()));
  }
  // A fresh line buffer.
  mCurrentLine = 0;
  mBuffer.Init(kLines);
  Log(2, "Ejector::Init: leaving\n");
  mInitialized = true;
  return true;
}

void Ejector::SetCurrentLine(Camera* camera) {
  mCurrentLine = camera->GetLineCounter().counter.load();
  mStepsProcessed = camera->GetLineCounter().steps.load();
}

void Ejector::Signal() {
  if (mWakeEvent != nullptr) mWakeEvent->Set();
}

bool Ejector::SetState(EjectorState state) {
  Log(2, "Ejector::SetState: setting to state %d\n", static_cast<int>(state));
  std::lock_guard<std::mutex> guard(mStateLock);
  const int current = mState.load();
  // The same state: ignored, no wake.
  if (state == current) {
    Log(2, "Ejector::SetState: WARNING: state %d ignored, since it is already set\n", static_cast<int>(state));
    return true;
  }
  // The allowed transitions.
  if (state == eSuspended && current != eActive_JustStarted && current != eActive) {
    Log(1, "Ejector::SetState: WARNING: suspend state cannot come after state %d \n", current);
    return false;
  }
  if (state == eActive_JustStarted && current != eSuspended) {
    Log(1, "Ejector::SetState: WARNING: eActive_JustStarted state cannot come after state %d \n", current);
    return false;
  }
  if (state == eActive && current != eActive_JustStarted) {
    Log(1, "Ejector::SetState: WARNING: eActive state cannot come after state %d \n", current);
    return false;
  }
  // Stored, and the thread woken.
  mState = state;
  Signal();
  return true;
}

bool Ejector::State_Activate() {
  if (!mInitialized) {
    Log(1, "Ejector::State_Activate: ERROR: ejector was not initialized\n");
    return false;
  }
  Log(2, "Ejector::SetState: setting to state %d\n", static_cast<int>(eActive_JustStarted));
  std::lock_guard<std::mutex> guard(mStateLock);
  const int current = mState.load();
  if (current == eActive_JustStarted) {
    Log(2, "Ejector::SetState: WARNING: state %d ignored, since it is already set\n", current);
    Signal();
    return true;
  }
  if (current == eSuspended) {
    mState = eActive_JustStarted;
    Signal();
    return true;
  }
  Log(1, "Ejector::SetState: WARNING: eActive_JustStarted state cannot come after state %d \n", current);
  Log(1, "Ejector::State_Activate: ERROR: could not activate ejector thread\n");
  return false;
}

bool Ejector::State_Suspend() {
  if (!mInitialized) {
    Log(1, "Ejector::State_Suspend: ERROR: ejector was not initialized\n");
    return false;
  }
  if (SetState(eSuspended)) {
    mCurrentLine = 0;
    Signal();
    return true;
  }
  Log(1, "Ejector::Activate: ERROR: could not suspend ejector thread\n");
  return false;
}

void Ejector::Destroy() {
  Log(2, "Ejector::Destroy: entering\n");
  if (mThread.IsRunning()) {
    if (GetState() != eClosing) SetState(eClosing);
    Signal();
    mThread.Join();
    Log(2, "EjectorThread::Destroy: thread closed\n");
  }
  if (mInitialized) mDevice.Close();
  mWakeEvent.reset();
  Log(2, "Ejector::Destroy: leaving\n");
  mInitialized = false;
}

// ---- the worker thread ----------------------------------------------------------------------

void Ejector::ThreadMain() {
  Log(2, "Ejector::ThreadMain: entering, clock=%ld", static_cast<long>(os::ClockMs()));
  for (;;) {
    // The auto-reset event is reset by the wake itself.
    mWakeEvent->Wait();
    FollowRealTimeSetting("Ejector::ThreadMain", kEjectorThreadPriority);
    // Act on the state.
    switch (mState.load()) {
      case eSuspended:
        Log(3, "Ejector::ThreadMain: In suspended state. Going back for waiting\n");
        break;
      case eActive_JustStarted:
      case eActive: {
        CameraList* list = CameraList::PeekInstance();
        Camera* camera = list != nullptr ? list->FindEjectorCamera(this) : nullptr;
        if (camera == nullptr) {
          Log(1, "Ejector::ThreadMain: ERROR: ejector controlling camera not found. Going into suspended state\n");
          SetState(eSuspended);
          break;
        }
        try {
          ProcessLine(camera);
        } catch (const std::exception& e) {
          Log(1, " Ejector::ThreadMain: exception: %s", e.what());
        } catch (...) {
          Log(1, " Ejector::ThreadMain: exception");
        }
        break;
      }
      case eClosing:
        Log(2, "Ejector::ThreadMain: Detected closing state. Exiting thread\n");
        Log(2, "Ejector::ThreadMain: leaving");
        return;
      default:
        Log(1, "Ejector::ThreadMain: WARNING: unrecognized state %d\n", mState.load());
        break;
    }
  }
}

void Ejector::ProcessLine(Camera* camera) {
  const LineCounterState& counter = camera->GetLineCounter();
  const int64_t steps = counter.steps.load(std::memory_order_relaxed);
  const int line = counter.counter.load(std::memory_order_relaxed);
  // Nothing new.
  const int current = mCurrentLine.load();
  if (line == current) return;
  // A line outside the buffer.
  if (!mBuffer.IsAssigned(line)) {
    if (GetState() != eActive_JustStarted) {
      Log(1, "Ejector::ProcessLine: WARNING: Ejector commands not assigned for line %d\n", line);
    }
    return;
  }
  // The first line after activation.
  if (GetState() == eActive_JustStarted) {
    Log(2, "Ejector::ProcessLine: First command found -- switching now to the Active state\n");
    SetState(eActive);
  }
  // A lap or more behind, the counter's value alone cannot say how far: the step total can.
  const int64_t ahead = steps - mStepsProcessed.load(std::memory_order_relaxed);
  if (ahead >= kLines) {
    Log(1, "Ejector::ProcessLine: ERROR: %lld lines lost, the counter ran %lld steps ahead of the ejector\n",
        static_cast<long long>(ahead / kLines * kLines), static_cast<long long>(ahead));
  }
  mStepsProcessed.store(steps, std::memory_order_relaxed);
  // Counter steps since the last processed line.
  int count = line % kLines - current % kLines;
  if (count < 0) count += kLines;
  // Behind: the lines in between first. One summary line per pass (its lines as the counter shows
  // them); a line of each only at the tracing level, so that a machine that falls behind for a
  // while does not also flood its log.
  if (count > 1) {
    Log(1, "Ejector::ProcessLine: WARNING: postprocessing (%d) lines from %d to %d\n", count - 1,
        (current + 1) % kLines, (line - 1 + kLines) % kLines);
    for (int i = 1; i <= count - 1; ++i) {
      // A suspend or a close stops the pass between two lines, however slow the card is.
      if (!IsActive()) return;
      const int postponed = (current + i) % kLines;
      Log(4, "Ejector::ProcessLine: postprocessing line %d\n", postponed);
      ProcessSingleLine(camera, postponed);
      // Handled: a command for it that comes now is refused as passed, not booked a lap later.
      mCurrentLine = postponed;
    }
  }
  // This line.
  if (!IsActive()) return;
  ProcessSingleLine(camera, line);
  // A sign of life every 500 lines.
  if (line % 500 == 0) Log(2, "Ejector::ProcessLine: running, counterVal=%d", line);
  // Processed.
  mCurrentLine = line;
}

void Ejector::ProcessSingleLine(Camera* camera, int line) {
  // The line's record, consumed.
  EjectorCommand command{};
  if (!mBuffer.ReadCommand(line, &command)) {
    Log(1, "Ejector::ThreadMain: ERROR: could not retrieve command for line %d\n", line);
    return;
  }
  // The camera's ejector settings, fresh for every line.
  const bool setAll = camera->GetParameter<bool>("EjectorSetAll");
  const bool inverted = camera->GetParameter<bool>("EjectorInverted");
  const bool staticMode = camera->GetParameter<bool>("EjectorStaticMode");
  // The ports, when there is something to write.
  if (mDevice.IsOpen() && (command.assigned != 0 || setAll)) {
    const EjectorCommand staticCommand = GetStaticCommand();
    int ports = mDevice.GetPortCount();
    if (ports > 4) ports = 4;
    for (int p = 0; p < ports; ++p) {
      uint8_t v = staticMode ? staticCommand.bytes[p] : command.bytes[p];
      if (inverted) v = static_cast<uint8_t>(~v);
      const uint8_t m = command.mask[p];
      if (m != 0) {
        uint8_t c = 0;
        mDevice.ReadDio(p, c);
        v = static_cast<uint8_t>((m & v) | (~m & c));
      }
      mDevice.WriteDio(p, v);
    }
    if (DriverState::Get().logLevel.load(std::memory_order_relaxed) == 2 && !inverted) {
      if (!staticMode) {
        gCommandsSeen |= command.bytes[0] | command.bytes[1] | command.bytes[2] | command.bytes[3];
        if (line % 500 == 0) {
          if (gCommandsSeen != 0) Log(2, "Ejector::ProcessLine: Some commands found during the last 500 lines !");
          gCommandsSeen = 0;
        }
      } else if (line % 500 == 0) {
        Log(2, "Ejector::ProcessLine: static(%x %x %x %x)", staticCommand.bytes[0], staticCommand.bytes[1],
            staticCommand.bytes[2], staticCommand.bytes[3]);
      }
    }
  }
  // The host's callback, when asked for.
  if (command.callback != 0) {
    Log(2, "Ejector::ProcessLine: line callback, counterVal=%d %d %d", line, command.assigned, setAll ? 1 : 0);
    char text[12];
    std::snprintf(text, sizeof text, "%d", line);
    camera->CmdCallback("EjectorLine", text);
  }
}
