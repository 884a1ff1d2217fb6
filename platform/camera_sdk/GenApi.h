#pragma once
// GenApi feature interfaces.

#include <cstdint>

#include "SdkExport.h"

namespace GenApi {

// An integer feature of a camera's node map.
class KORVEX_SDK_API IInteger {
 public:
  virtual ~IInteger() = default;
  virtual int64_t GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetValue(int64_t value, bool verify = true) = 0;
  virtual int64_t GetMin() = 0;
  virtual int64_t GetMax() = 0;
  virtual int64_t GetInc() = 0;
};

}  // namespace GenApi
