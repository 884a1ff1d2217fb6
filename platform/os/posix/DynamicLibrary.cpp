#include "../DynamicLibrary.h"

#include <dlfcn.h>

namespace os {

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path, bool keepLoaded) {
  Close();
  mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | (keepLoaded ? RTLD_NODELETE : 0));
  if (mHandle == nullptr) {
    const char* why = dlerror();
    mError = why != nullptr ? why : "unknown error";
    return false;
  }
  mError.clear();
  return true;
}

void DynamicLibrary::Close() {
  if (mHandle != nullptr) {
    dlclose(mHandle);
    mHandle = nullptr;
  }
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (mHandle == nullptr || name == nullptr) return nullptr;
  return dlsym(mHandle, name);
}

std::string ModuleDirectory(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "";
  std::string file(info.dli_fname);
  const std::string::size_type slash = file.rfind('/');
  return slash == std::string::npos ? "." : file.substr(0, slash);
}

}  // namespace os
