#include <windows.h>

#include "../DynamicLibrary.h"

namespace os {

namespace {

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char text[512] = {0};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                     nullptr) == 0) {
    return "error " + std::to_string(code);
  }
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path, bool keepLoaded) {
  Close();
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    mError = LastErrorText();
    return false;
  }
  // Pinned: FreeLibrary leaves it in the process.
  if (keepLoaded) {
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(module), &pinned);
  }
  mHandle = module;
  mError.clear();
  return true;
}

void DynamicLibrary::Close() {
  if (mHandle != nullptr) {
    FreeLibrary(static_cast<HMODULE>(mHandle));
    mHandle = nullptr;
  }
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (mHandle == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}

std::string ModuleDirectory(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module)) {
    return "";
  }
  char file[MAX_PATH] = {0};
  const DWORD length = GetModuleFileNameA(module, file, sizeof file);
  if (length == 0 || length >= sizeof file) return "";
  const std::string path(file, length);
  const std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace os
