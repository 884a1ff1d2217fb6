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

}  // namespace GenICam
