// The plain Aravis client of the GigE Vision benchmark, a process of its own so that its processor
// time is its own:
//   korvex_gev_plain_client ADDRESS START_NS SECONDS
// Opens the camera at ADDRESS with the benchmark's geometry, streams, copies out every row of each
// frame as a host reads them, and over [START_NS, START_NS + SECONDS) of the monotonic clock counts
// frames, its own CPU time and its receive thread's. Prints
// "FRAMES WALL_SECONDS CPU_SECONDS RECEIVE_CPU_SECONDS"; exits 1 when the camera cannot be opened.

#include <arv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GevBenchConfig.h"

using namespace gevbench;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: korvex_gev_plain_client ADDRESS START_NS SECONDS\n");
    return 2;
  }
  const int64_t start = std::atoll(argv[2]);
  const int64_t end = start + static_cast<int64_t>(std::atof(argv[3]) * 1e9);
  OnTheDriversProcessor();
  GError* error = nullptr;
  ArvDevice* device = arv_open_device(argv[1], &error);
  if (device == nullptr) {
    std::fprintf(stderr, "korvex_gev_plain_client: %s\n", error != nullptr ? error->message : "no camera");
    return 1;
  }
  arv_device_set_string_feature_value(device, "PixelFormat", "Mono8", &error);
  arv_device_set_integer_feature_value(device, "Width", kWidth, &error);
  arv_device_set_integer_feature_value(device, "Height", kHeight, &error);
  arv_device_set_float_feature_value(device, "AcquisitionLineRateAbs", kLineRate, &error);
  arv_device_set_string_feature_value(device, "AcquisitionMode", "Continuous", &error);
  const gint64 payload = arv_device_get_integer_feature_value(device, "PayloadSize", &error);
  ArvStream* stream = error == nullptr ? arv_device_create_stream(device, nullptr, nullptr, &error) : nullptr;
  if (stream == nullptr) {
    std::fprintf(stderr, "korvex_gev_plain_client: %s\n", error != nullptr ? error->message : "no stream");
    return 1;
  }
  g_object_set(stream, "socket-buffer", ARV_GV_STREAM_SOCKET_BUFFER_AUTO, nullptr);
  std::vector<std::vector<unsigned char>> memory(kBuffers, std::vector<unsigned char>(static_cast<std::size_t>(payload)));
  for (auto& block : memory) arv_stream_push_buffer(stream, arv_buffer_new(block.size(), block.data()));
  std::vector<unsigned char> row(kWidth);
  arv_device_execute_command(device, "AcquisitionStart", &error);
  int frames = 0;
  bool measuring = false;
  double cpuStart = 0, receiveStart = 0;
  for (int64_t now = MonotonicNs(); now < end; now = MonotonicNs()) {
    if (!measuring && now >= start) {
      measuring = true;
      frames = 0;
      cpuStart = ProcessCpuSeconds();
      receiveStart = ReceiveThreadCpuSeconds();
    }
    ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 100000);
    if (buffer == nullptr) continue;
    if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
      std::size_t size = 0;
      const auto* pixels = static_cast<const unsigned char*>(arv_buffer_get_data(buffer, &size));
      for (int r = 0; r < kHeight; ++r) std::memcpy(row.data(), pixels + static_cast<std::size_t>(r) * kWidth, kWidth);
      asm volatile("" : : "r"(row.data()) : "memory");  // the rows are read, not optimized away
      ++frames;
    }
    arv_stream_push_buffer(stream, buffer);
  }
  const double cpu = ProcessCpuSeconds() - cpuStart, receive = ReceiveThreadCpuSeconds() - receiveStart;
  std::printf("%d %f %f %f\n", frames, static_cast<double>(end - start) / 1e9, cpu, receive);
  std::fflush(stdout);
  arv_device_execute_command(device, "AcquisitionStop", &error);
  g_clear_error(&error);
  arv_stream_set_emit_signals(stream, FALSE);
  g_object_unref(stream);
  g_object_unref(device);
  return 0;
}
