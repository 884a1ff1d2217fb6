// The plain Aravis client of the GigE Vision benchmark, a process of its own so that its processor
// time is its own:
//   korvex_gev_plain_client ADDRESS
// Opens the camera at ADDRESS with the benchmark's geometry and prints "READY". Then, for every
// line "RUN SETTLE_MS WINDOW_MS" on its input: starts the camera, streams for SETTLE_MS, then
// over WINDOW_MS counts frames, its own CPU time and its receive thread's, copying out every row of
// each frame as a host reads them; stops the camera and prints
// "FRAMES WALL_SECONDS CPU_SECONDS RECEIVE_CPU_SECONDS HOST_CPU_SECONDS" (the host: this thread,
// which takes each frame and reads its rows). Ends at the end of its input; exits 1
// when the camera cannot be opened.

#include <arv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GevBenchConfig.h"

using namespace gevbench;

namespace {

// The buffers the camera stops with go back to the stream, so that every window starts alike.
void Drain(ArvStream* stream) {
  while (ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 50000)) arv_stream_push_buffer(stream, buffer);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvex_gev_plain_client ADDRESS\n");
    return 2;
  }
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
  std::printf("READY\n");
  std::fflush(stdout);

  int settleMs = 0, windowMs = 0;
  while (std::scanf(" RUN %d %d", &settleMs, &windowMs) == 2) {
    arv_device_execute_command(device, "AcquisitionStart", &error);
    const int64_t start = MonotonicNs() + static_cast<int64_t>(settleMs) * 1000000;
    const int64_t end = start + static_cast<int64_t>(windowMs) * 1000000;
    int frames = 0;
    bool measuring = false;
    double cpuStart = 0, receiveStart = 0, hostStart = 0;
    for (int64_t now = MonotonicNs(); now < end; now = MonotonicNs()) {
      if (!measuring && now >= start) {
        measuring = true;
        frames = 0;
        receiveStart = ReceiveThreadCpuSeconds();  // slow (files), so outside the window
        cpuStart = ProcessCpuSeconds();
        hostStart = ThisThreadCpuSeconds();
      }
      ArvBuffer* buffer = arv_stream_timeout_pop_buffer(stream, 100000);
      if (buffer == nullptr) continue;
      if (arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS) {
        std::size_t size = 0;
        const auto* pixels = static_cast<const unsigned char*>(arv_buffer_get_data(buffer, &size));
        for (int r = 0; r < kHeight; ++r) {
          std::memcpy(row.data(), pixels + static_cast<std::size_t>(r) * kWidth, kWidth);
          // Each row is read: without this the compiler keeps only the last copy into the row.
          asm volatile("" : : "r"(row.data()) : "memory");
        }
        ++frames;
      }
      arv_stream_push_buffer(stream, buffer);
    }
    const double host = ThisThreadCpuSeconds() - hostStart, cpu = ProcessCpuSeconds() - cpuStart;
    const double receive = ReceiveThreadCpuSeconds() - receiveStart;
    arv_device_execute_command(device, "AcquisitionStop", &error);
    Drain(stream);
    std::printf("%d %f %f %f %f\n", frames, static_cast<double>(end - start) / 1e9, cpu, receive, host);
    std::fflush(stdout);
  }
  g_clear_error(&error);
  arv_stream_set_emit_signals(stream, FALSE);
  g_object_unref(stream);
  g_object_unref(device);
  return 0;
}
