#include "VirtualCard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <strings.h>

#include "os/PrivateProfile.h"

namespace daq {

namespace {

constexpr int kMaxChannels = 256;

int Ports(int channels) { return (channels + 7) / 8; }

// Cut as a 256-byte read buffer cuts it.
std::string Key(const os::ProfileText& text, const std::string& section, const char* key, const char* fallback) {
  return text.Get(section.c_str(), key, fallback).substr(0, 255);
}

// A whole decimal or 0x-hexadecimal number in [low, high]; false for anything else.
bool Number(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

struct Table {
  std::mutex lock;
  std::atomic<bool> built{false};  // set under lock once cards holds the table
  std::vector<std::unique_ptr<VirtualCard>> cards;  // guarded by lock until built, then read only
};

Table& Cards() {
  static Table table;
  return table;
}

void Build(Table& table) {
  const char* file = std::getenv("KORVEX_DAQ");
  if (file != nullptr && *file != '\0') {
    table.cards = ReadCards(file);
  } else {
    table.cards.push_back(std::make_unique<VirtualCard>(0, 32, 32));
  }
  table.built.store(true, std::memory_order_release);
}

}  // namespace

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t NowUs() { return NowNs() / 1000; }

VirtualCard::VirtualCard(int deviceNumber, int outputChannels, int inputChannels)
    : mDeviceNumber(deviceNumber),
      mOutputChannels(outputChannels),
      mInputChannels(inputChannels),
      mOutputs(static_cast<std::size_t>(Ports(outputChannels)), 0),
      mInputs(static_cast<std::size_t>(Ports(inputChannels)), 0),
      mHistory(kHistorySize) {}

VirtualCard::~VirtualCard() {
  if (mTrace != nullptr) std::fclose(mTrace);
}

CardStatus VirtualCard::Write(int port, uint8_t value) {
  int delayUs;
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (port < 0 || port >= OutputPorts()) return CardStatus::kBadPort;
    if (mWriteStatus != 0) return CardStatus::kRefused;
    delayUs = mWriteDelayUs;
  }
  // A slow card holds its caller, not the other callers.
  if (delayUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
  std::lock_guard<std::mutex> guard(mLock);
  mOutputs[static_cast<std::size_t>(port)] = value;
  const PortWrite write{NowNs(), port, value};
  mHistory[mHistoryNext] = write;
  mHistoryNext = (mHistoryNext + 1) % kHistorySize;
  mHistoryCount = std::min(mHistoryCount + 1, kHistorySize);
  if (mTrace != nullptr) {
    std::fprintf(mTrace, "%lld,%d,%d,%d\n", static_cast<long long>(write.timeNs / 1000), mDeviceNumber, port, value);
  }
  return CardStatus::kOk;
}

CardStatus VirtualCard::ReadOutput(int port, uint8_t* value) {
  std::lock_guard<std::mutex> guard(mLock);
  if (port < 0 || port >= OutputPorts() || value == nullptr) return CardStatus::kBadPort;
  *value = mOutputs[static_cast<std::size_t>(port)];
  return CardStatus::kOk;
}

CardStatus VirtualCard::ReadInput(int port, uint8_t* value) {
  std::lock_guard<std::mutex> guard(mLock);
  if (port < 0 || port >= InputPorts() || value == nullptr) return CardStatus::kBadPort;
  *value = mInputs[static_cast<std::size_t>(port)];
  return CardStatus::kOk;
}

bool VirtualCard::SetInput(int port, uint8_t value) {
  std::lock_guard<std::mutex> guard(mLock);
  if (port < 0 || port >= InputPorts()) return false;
  mInputs[static_cast<std::size_t>(port)] = value;
  return true;
}

void VirtualCard::SetOpenStatus(uint32_t status) {
  std::lock_guard<std::mutex> guard(mLock);
  mOpenStatus = status;
}

uint32_t VirtualCard::OpenStatus() {
  std::lock_guard<std::mutex> guard(mLock);
  return mOpenStatus;
}

void VirtualCard::SetFeaturesStatus(uint32_t status) {
  std::lock_guard<std::mutex> guard(mLock);
  mFeaturesStatus = status;
}

uint32_t VirtualCard::FeaturesStatus() {
  std::lock_guard<std::mutex> guard(mLock);
  return mFeaturesStatus;
}

void VirtualCard::SetWriteStatus(uint32_t status) {
  std::lock_guard<std::mutex> guard(mLock);
  mWriteStatus = status;
}

uint32_t VirtualCard::WriteStatus() {
  std::lock_guard<std::mutex> guard(mLock);
  return mWriteStatus;
}

void VirtualCard::SetWriteDelayUs(int delayUs) {
  std::lock_guard<std::mutex> guard(mLock);
  mWriteDelayUs = delayUs > 0 ? delayUs : 0;
}

std::vector<PortWrite> VirtualCard::History() {
  std::lock_guard<std::mutex> guard(mLock);
  std::vector<PortWrite> writes;
  writes.reserve(mHistoryCount);
  const std::size_t first = (mHistoryNext + kHistorySize - mHistoryCount) % kHistorySize;
  for (std::size_t i = 0; i < mHistoryCount; ++i) writes.push_back(mHistory[(first + i) % kHistorySize]);
  return writes;
}

void VirtualCard::ClearHistory() {
  std::lock_guard<std::mutex> guard(mLock);
  mHistoryCount = 0;
}

void VirtualCard::FlushTrace() {
  std::lock_guard<std::mutex> guard(mLock);
  if (mTrace != nullptr) std::fflush(mTrace);
}

bool VirtualCard::SetTrace(const std::string& path) {
  std::lock_guard<std::mutex> guard(mLock);
  if (mTrace != nullptr) std::fclose(mTrace);
  mTrace = nullptr;
  if (path.empty()) return true;
  mTrace = std::fopen(path.c_str(), "w");
  if (mTrace == nullptr) return false;
  std::fprintf(mTrace, "time_us,device,port,value\n");
  std::fflush(mTrace);
  return true;
}

std::vector<std::unique_ptr<VirtualCard>> ReadCards(const std::string& fileName) {
  os::ProfileText text;
  text.ReadFile(fileName.c_str());
  return ReadCards(text, fileName, true);
}

std::vector<std::unique_ptr<VirtualCard>> ReadCards(const os::ProfileText& text, const std::string& fileName,
                                                    bool openTraces) {
  std::vector<std::unique_ptr<VirtualCard>> cards;
  for (const std::string& section : text.SectionNames()) {
    long long number = 0, outputs = 0, inputs = 0, openStatus = 0, featuresStatus = 0, writeStatus = 0, delay = 0;
    const bool named = section.size() > 6 && strncasecmp(section.c_str(), "Device", 6) == 0 &&
                       Number(section.substr(6), 0, 65535, &number);
    const bool good =
        named && Number(Key(text, section, "OutputChannels", "32"), 0, kMaxChannels, &outputs) &&
        Number(Key(text, section, "InputChannels", "32"), 0, kMaxChannels, &inputs) &&
        Number(Key(text, section, "OpenStatus", "0"), 0, 0xFFFFFFFFLL, &openStatus) &&
        Number(Key(text, section, "FeaturesStatus", "0"), 0, 0xFFFFFFFFLL, &featuresStatus) &&
        Number(Key(text, section, "WriteStatus", "0"), 0, 0xFFFFFFFFLL, &writeStatus) &&
        Number(Key(text, section, "WriteDelayUs", "0"), 0, 10000000, &delay);
    const bool duplicate = std::any_of(cards.begin(), cards.end(), [&](const std::unique_ptr<VirtualCard>& card) {
      return card->DeviceNumber() == number;
    });
    if (!good || duplicate) {
      std::fprintf(stderr, "KORVEX_DAQ: section [%s] of '%s' is not a card of its own with good values; skipped\n",
                   section.c_str(), fileName.c_str());
      continue;
    }
    auto card = std::make_unique<VirtualCard>(static_cast<int>(number), static_cast<int>(outputs),
                                              static_cast<int>(inputs));
    for (int port = 0; port < card->InputPorts(); ++port) {
      long long value = 0;
      const std::string key = "Input" + std::to_string(port);
      if (Number(Key(text, section, key.c_str(), "0"), 0, 255, &value)) {
        card->SetInput(port, static_cast<uint8_t>(value));
      } else {
        std::fprintf(stderr, "KORVEX_DAQ: [%s] %s of '%s' is no byte value; 0 used\n", section.c_str(), key.c_str(),
                     fileName.c_str());
      }
    }
    card->SetOpenStatus(static_cast<uint32_t>(openStatus));
    card->SetFeaturesStatus(static_cast<uint32_t>(featuresStatus));
    card->SetWriteStatus(static_cast<uint32_t>(writeStatus));
    card->SetWriteDelayUs(static_cast<int>(delay));
    const std::string trace = openTraces ? Key(text, section, "Trace", "") : std::string();
    if (!trace.empty() && !card->SetTrace(trace)) {
      std::fprintf(stderr, "KORVEX_DAQ: [%s] cannot write the trace '%s'\n", section.c_str(), trace.c_str());
    }
    cards.push_back(std::move(card));
  }
  return cards;
}

VirtualCard* FindCard(int deviceNumber) {
  Table& table = Cards();
  // Every library call looks its card up: once built, the table is read without the lock.
  if (!table.built.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> guard(table.lock);
    if (!table.built.load(std::memory_order_relaxed)) Build(table);
  }
  for (const auto& card : table.cards) {
    if (card->DeviceNumber() == deviceNumber) return card.get();
  }
  return nullptr;
}

void ResetCards() {
  Table& table = Cards();
  std::lock_guard<std::mutex> guard(table.lock);
  table.built.store(false, std::memory_order_relaxed);
  table.cards.clear();
  Build(table);
}

}  // namespace daq
