#include "HostSupport.h"

#include <png.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace host {

namespace {

template <typename F>
bool Resolve(const os::DynamicLibrary& library, const char* name, F& function) {
  function = reinterpret_cast<F>(library.Symbol(name));
  if (function == nullptr) std::fprintf(stderr, "korvex-host: the driver has no export %s\n", name);
  return function != nullptr;
}

}  // namespace

bool ResolveAll(const os::DynamicLibrary& library, DriverApi& api) {
  return Resolve(library, "initialize", api.initialize) && Resolve(library, "finalize", api.finalize) &&
         Resolve(library, "openCVLPort", api.openCVLPort) && Resolve(library, "closeCVLPort", api.closeCVLPort) &&
         Resolve(library, "doCVLGrab", api.doCVLGrab) && Resolve(library, "getCVLGrabRow", api.getCVLGrabRow) &&
         Resolve(library, "setCompleteCallback", api.setCompleteCallback) &&
         Resolve(library, "setCmdCallback", api.setCmdCallback) && Resolve(library, "getProperty", api.getProperty) &&
         Resolve(library, "setProperty", api.setProperty) &&
         Resolve(library, "getPropertyRange", api.getPropertyRange) &&
         Resolve(library, "getCVLCameraConfigNames", api.getCVLCameraConfigNames) &&
         Resolve(library, "getCVLMaxNoOfGrabbers", api.getCVLMaxNoOfGrabbers) &&
         Resolve(library, "getCVLMaxNoOfPorts", api.getCVLMaxNoOfPorts) &&
         Resolve(library, "getCVLNoOfSupportedCameras", api.getCVLNoOfSupportedCameras) &&
         Resolve(library, "configureCamera", api.configureCamera);
}

namespace {

std::FILE* gLogFile = nullptr;

}  // namespace

void SetLogFile(const std::string& path) { gLogFile = std::fopen(path.c_str(), "a"); }

void CloseLogFile() {
  if (gLogFile != nullptr) std::fclose(gLogFile);
  gLogFile = nullptr;
}

void LogText(const char* text) {
  if (gLogFile != nullptr) std::fputs(text, gLogFile);
}

namespace {

// Completed images, counted on the driver's grab thread, awaited on the main thread.
std::mutex gMutex;
std::condition_variable gCompleted;
int gCallbacks = 0;

}  // namespace

void OnComplete(int /*grabberNo*/, int /*portNo*/) {
  {
    std::lock_guard<std::mutex> guard(gMutex);
    ++gCallbacks;
  }
  gCompleted.notify_all();
}

bool WaitForCallbacks(int count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(gMutex);
  return gCompleted.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return gCallbacks >= count; });
}

int CallbackCount() {
  std::lock_guard<std::mutex> guard(gMutex);
  return gCallbacks;
}

bool WritePng(const std::string& path, const std::vector<unsigned char>& pixels, int width, int height, bool colour) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::size_t stride = static_cast<std::size_t>(width) * (colour ? 3 : 1);
  for (int y = 0; y < height; ++y) png_write_row(png, pixels.data() + stride * y);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

void Progress(int done, int total) {
  const int width = 30;
  const int filled = total > 0 ? done * width / total : width;
  std::fprintf(stderr, "\r  [%s%s] %d/%d", std::string(static_cast<std::size_t>(filled), '#').c_str(),
               std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), done, total);
  if (done == total) std::fputc('\n', stderr);
}


}  // namespace host
