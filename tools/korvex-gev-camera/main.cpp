// A GigE Vision camera on a local address, made with Aravis's fake camera: for the tests of the
// Aravis backend, which must reach a real GigE Vision device over the network without one on the
// bench. It answers discovery and control on the address given, streams to whoever opens it, and
// carries the identity asked for (vendor, model, serial) in its bootstrap registers, so that the
// driver's camera list sees it as the line-scan model it claims to be.
//
//   korvex-gev-camera [--address 127.0.0.1] [--serial S] [--vendor V] [--model M] [--xml GENICAM]
//
// The GenICam description is line-scan.xml beside this file unless --xml names another ("aravis":
// the fake camera's own).
//
// Frames carry the ramp of the virtual network: line L (counted from the first frame streamed),
// sensor column c: monochrome pixels (c + L) mod 256; RGB pixels c mod 256, L mod 256, (c + L)
// mod 256. Prints "ready" once it answers; ends on SIGTERM or SIGINT. KORVEX_GEV_CAMERA_CPU keeps
// it to one processor.

#include <arv.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sched.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

// GigE Vision bootstrap registers: the manufacturer's and the model's names, 32 bytes each.
constexpr guint32 kManufacturerName = 0x0048;
constexpr guint32 kModelName = 0x0068;

// Where the fake camera keeps the geometry that its description's features write.
constexpr guint32 kWidth = 0x0100;
constexpr guint32 kHeight = 0x0104;
constexpr guint32 kOffsetX = 0x0130;
constexpr guint32 kFramePeriodUs = 0x0138;  // the fake camera's pace
constexpr guint32 kLineRate = 0x0140;       // the description's AcquisitionLineRateAbs, a big-endian float

float ReadLineRate(ArvFakeCamera* camera) {
  guint32 bits = 0;
  arv_fake_camera_read_memory(camera, kLineRate, sizeof bits, &bits);
  bits = GUINT32_FROM_BE(bits);
  float rate = 0;
  std::memcpy(&rate, &bits, sizeof rate);
  return rate;
}

void WriteLineRate(ArvFakeCamera* camera, float rate) {
  guint32 bits = 0;
  std::memcpy(&bits, &rate, sizeof bits);
  bits = GUINT32_TO_BE(bits);
  arv_fake_camera_write_memory(camera, kLineRate, sizeof bits, &bits);
}

// The frame period that keeps the line rate at the current height.
void FollowLineRate(ArvFakeCamera* camera) {
  guint32 height = 0, period = 0;
  arv_fake_camera_read_register(camera, kHeight, &height);
  arv_fake_camera_read_register(camera, kFramePeriodUs, &period);
  const float rate = ReadLineRate(camera);
  if (rate < 1 || height == 0) return;
  const auto wanted = static_cast<guint32>(1e6 * height / rate);
  if (wanted != period && wanted > 0) arv_fake_camera_write_register(camera, kFramePeriodUs, wanted);
}

struct Ramp {
  ArvFakeCamera* camera = nullptr;
  uint64_t line = 0;  // the next frame's first line
};

// The buffer's own image fields are not yet set when the fake camera fills it: the geometry comes
// from the registers.
void FillRamp(ArvBuffer* buffer, void* data, guint32, guint32, ArvPixelFormat format) {
  Ramp& ramp = *static_cast<Ramp*>(data);
  std::size_t unused = 0;
  auto* pixels = static_cast<uint8_t*>(const_cast<void*>(arv_buffer_get_data(buffer, &unused)));
  // The buffer tells no size yet either; it was made for the camera's payload.
  const std::size_t size = arv_fake_camera_get_payload(ramp.camera);
  guint32 width = 0, height = 0, x = 0;
  arv_fake_camera_read_register(ramp.camera, kWidth, &width);
  arv_fake_camera_read_register(ramp.camera, kHeight, &height);
  arv_fake_camera_read_register(ramp.camera, kOffsetX, &x);
  const std::size_t bytesPerPixel = format == ARV_PIXEL_FORMAT_RGB_8_PACKED ? 3 : 1;
  if (pixels == nullptr || std::size_t{width} * height * bytesPerPixel > size) return;
  for (guint32 y = 0; y < height; ++y) {
    const uint64_t L = ramp.line + y;
    uint8_t* row = pixels + std::size_t{y} * width * bytesPerPixel;
    for (guint32 i = 0; i < width; ++i) {
      const uint64_t c = uint64_t{x} + i;
      if (bytesPerPixel == 1) {
        row[i] = static_cast<uint8_t>((c + L) % 256);
      } else {
        row[3 * i] = static_cast<uint8_t>(c % 256);
        row[3 * i + 1] = static_cast<uint8_t>(L % 256);
        row[3 * i + 2] = static_cast<uint8_t>((c + L) % 256);
      }
    }
  }
  ramp.line += height;
}

void WriteName(ArvFakeCamera* camera, guint32 address, const std::string& name) {
  char field[32] = {0};
  std::strncpy(field, name.c_str(), sizeof field - 1);
  arv_fake_camera_write_memory(camera, address, sizeof field, field);
}

int Usage() {
  std::fprintf(stderr, "usage: korvex-gev-camera [--address A] [--serial S] [--vendor V] [--model M] [--xml FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1", serial = "GV01", vendor = "Basler", model = "raL2048-48gm",
              xml = KORVEX_LINE_SCAN_XML;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--address") {
      address = argv[i + 1];
    } else if (option == "--serial") {
      serial = argv[i + 1];
    } else if (option == "--vendor") {
      vendor = argv[i + 1];
    } else if (option == "--model") {
      model = argv[i + 1];
    } else if (option == "--xml") {
      xml = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (argc % 2 == 0) return Usage();
  ArvGvFakeCamera* camera = xml == "aravis" ? arv_gv_fake_camera_new(address.c_str(), serial.c_str())
                                        : arv_gv_fake_camera_new_full(address.c_str(), serial.c_str(), xml.c_str());
  if (camera == nullptr || !arv_gv_fake_camera_is_running(camera)) {
    std::fprintf(stderr, "korvex-gev-camera: cannot serve on %s\n", address.c_str());
    if (camera != nullptr) g_object_unref(camera);
    return 1;
  }
  ArvFakeCamera* fake = arv_gv_fake_camera_get_fake_camera(camera);
  WriteName(fake, kManufacturerName, vendor);
  WriteName(fake, kModelName, model);
  Ramp ramp;
  ramp.camera = fake;
  arv_fake_camera_set_fill_pattern(fake, &FillRamp, &ramp);
  // A benchmark keeps the camera to one processor, apart from what it measures.
  if (const char* cpu = std::getenv("KORVEX_GEV_CAMERA_CPU")) {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(std::atoi(cpu), &one);
    sched_setaffinity(0, sizeof one, &one);
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  // 10,000 lines a second until someone sets another rate, as the virtual cameras start.
  WriteLineRate(fake, 10000.0f);
  std::printf("ready: %s %s (%s) on %s\n", vendor.c_str(), model.c_str(), serial.c_str(), address.c_str());
  std::fflush(stdout);
  while (gStop == 0) {
    FollowLineRate(fake);
    usleep(5000);
  }
  g_object_unref(camera);
  return 0;
}
