#pragma once
// The GenICam base types the driver uses: the string type and the exception family.

#include <exception>
#include <string>

#include "SdkExport.h"

namespace GenICam {

class KORVEX_SDK_API gcstring {
 public:
  gcstring() = default;
  gcstring(const char* text) : mText(text != nullptr ? text : "") {}  // NOLINT: implicit, as the SDK's is
  gcstring(const std::string& text) : mText(text) {}                   // NOLINT
  const char* c_str() const { return mText.c_str(); }
  size_t length() const { return mText.length(); }
  bool empty() const { return mText.empty(); }
  operator const char*() const { return mText.c_str(); }  // NOLINT
  bool operator==(const gcstring& other) const { return mText == other.mText; }
  bool operator!=(const gcstring& other) const { return mText != other.mText; }

 private:
  std::string mText;
};

// Root of every exception the SDK throws; the driver logs GetDescription().
class KORVEX_SDK_API GenericException : public std::exception {
 public:
  explicit GenericException(const char* description) : mDescription(description != nullptr ? description : "") {}
  const char* GetDescription() const noexcept { return mDescription.c_str(); }
  const char* what() const noexcept override { return mDescription.c_str(); }

 private:
  std::string mDescription;
};

#define KORVEX_GENICAM_EXCEPTION(Name)                                                \
  class KORVEX_SDK_API Name : public GenericException {                               \
   public:                                                                            \
    explicit Name(const char* description) : GenericException(description) {}       \
    explicit Name(const std::string& description) : GenericException(description.c_str()) {} \
  };

// A node whose access mode does not allow the call (read-only written, not available read, ...).
KORVEX_GENICAM_EXCEPTION(AccessException)
// A value outside the node's bounds or off its increment.
KORVEX_GENICAM_EXCEPTION(OutOfRangeException)
// A call in the wrong state (grab not prepared, buffer not registered, ...).
KORVEX_GENICAM_EXCEPTION(LogicalErrorException)
// The device failed or is gone.
KORVEX_GENICAM_EXCEPTION(RuntimeException)
// A wait that ran out of time.
KORVEX_GENICAM_EXCEPTION(TimeoutException)
// A malformed argument (unknown entry name, null pointer).
KORVEX_GENICAM_EXCEPTION(InvalidArgumentException)

#undef KORVEX_GENICAM_EXCEPTION

}  // namespace GenICam
