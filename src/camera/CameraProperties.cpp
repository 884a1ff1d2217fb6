// The host's named integer properties of a camera, and the lookup table loaded from a file.
// Host threads, and the driver's threads inside the host's callbacks: each call holds the camera for
// use (a close waits for it) and reaches parameters by name under the set's lock only.

#include <boost/numeric/conversion/cast.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

#include "camera/Camera.h"
#include "driver/DriverState.h"
#include "driver/Log.h"
#include "ejector/Ejector.h"
#include "parameters/LookupTableFile.h"
#include "driver/Text.h"
#include "os/Time.h"

namespace {

// Built once, on first use; a function-local static is initialised once even when two threads
// arrive together.
// Looked up by the host's text itself (std::less<>), so that no key string is made per call.
const std::map<std::string, std::string, std::less<>>& PropertyNames() {
  static const std::map<std::string, std::string, std::less<>> names = {
      {"Exposure", "ExposureTimeAbs"},
      {"Shutter", "ExposureTimeAbs"},
      {"Gain", "All_GainRaw"},
      {"Brightness", "All_BlackLevelRaw"},
      {"offset", "OffsetX"},
      {"enableGamma", "GammaEnable"},
      {"shift", "DigitalShift"},
      {"blackall", "All_BlackLevelRaw"},
      {"blackr", "Red_BlackLevelRaw"},
      {"blackg", "Green_BlackLevelRaw"},
      {"blackb", "Blue_BlackLevelRaw"},
      {"gainall", "All_GainRaw"},
      {"gainr", "Red_GainRaw"},
      {"gaing", "Green_GainRaw"},
      {"gainb", "Blue_GainRaw"},
      {"spatialcorr", "SpatialCorrection"},
      {"FrameTriggerMode", "FrameStart_TriggerMode"},
      {"LineTriggerMode", "LineStart_TriggerMode"},
      {"FrameTriggerSource", "FrameStart_TriggerSource"},
      {"LineTriggerSource", "LineStart_TriggerSource"},
      {"FrameTriggerActivation", "FrameStart_TriggerActivation"},
      {"LineTriggerActivation", "LineStart_TriggerActivation"},
  };
  return names;
}

const char* Translate(const char* name) {
  const auto found = PropertyNames().find(name);
  return found != PropertyNames().end() ? found->second.c_str() : name;
}

// The parameter's value as the host's int: range-tested for 64-bit integers, enumerations and doubles.
bool ValueAsInt(const Param_& parameter, int* value) {
  switch (parameter.kind()) {
    case Param_::Kind::Int: *value = static_cast<const Param<int>&>(parameter).value; return true;
    case Param_::Kind::Int64:
      *value = boost::numeric_cast<int>(static_cast<const Param<int64_t>&>(parameter).value);
      return true;
    case Param_::Kind::Double:
      *value = boost::numeric_cast<int>(std::trunc(static_cast<const Param<double>&>(parameter).value));
      return true;
    case Param_::Kind::Bool: *value = static_cast<const Param<bool>&>(parameter).value ? 1 : 0; return true;
    case Param_::Kind::Enum: *value = boost::numeric_cast<int>(static_cast<const ParamEnum&>(parameter).int_value()); return true;
    default: return false;
  }
}

}  // namespace

bool Camera::GetProperty(const char* name, int* value) {
  Log(3, "Camera::GetProperty: prop=%s \n", name);
  const auto use = HoldForUse();
  if (!use) {
    Log(1, "Camera::GetProperty: ERROR: the camera is being opened or closed, port=%d\n", mPort.load());
    return false;
  }
  const char* translated = Translate(name);
  if (EqualsIgnoringCase(name, "PixelSize")) {
    *value = mBitsPerPixel;
    Log(3, "Camera::GetProperty pixelsize=%d \n", *value);
    return true;
  }
  if (EqualsIgnoringCase(name, "continuous") || EqualsIgnoringCase(name, "continous")) {
    *value = mContinuous ? 1 : 0;
    return true;
  }
  if (EqualsIgnoringCase(name, "LostChunks")) {
    const int64_t lost = mLineCounter.lostChunks.load(std::memory_order_relaxed);
    *value = static_cast<int>(std::min<int64_t>(lost, std::numeric_limits<int>::max()));
    return true;
  }
  if (EqualsIgnoringCase(name, "ConveyorStopped")) {
    *value = os::ClockMs() - mLineCounter.clockStamp.load() >= mLineCounter.conveyorTimeout.load() ? 1 : 0;
    return true;
  }
  if (EqualsIgnoringCase(name, "Inputs")) {
    *value = static_cast<int>(mCamera.LineStatusAll.GetValue() & 7);
    return true;
  }
  if (EqualsIgnoringCase(name, "Outputs")) {
    *value = static_cast<int>(mCamera.UserOutputValueAll.GetValue());
    return true;
  }
  // A parameter of the set.
  if (!mParameters->Has(translated)) return false;
  // A parameter that mirrors a node is read back from the camera first (the device must be open).
  if (mOpen && mParameters->WithParameter(translated, [](Param_& p) { return p.has_option("NodeName"); })) {
    if (GenApi::INodeMap* nodeMap = mCamera.GetNodeMap()) mParameters->UpdateParameter(*nodeMap, translated);
  }
  return mParameters->WithParameter(translated, [&](Param_& p) { return ValueAsInt(p, value); });
}

bool Camera::SetProperty(const char* name, int value) {
  Log(3, "Camera::SetProperty: prop=%s value=%d \n", name, value);
  const auto use = HoldForUse();
  if (!use) {
    Log(1, "Camera::SetProperty: ERROR: the camera is being opened or closed, port=%d\n", mPort.load());
    return false;
  }
  const char* translated = Translate(name);
  if (EqualsIgnoringCase(name, "continuous") || EqualsIgnoringCase(name, "continous")) {
    return SetContinuousGrab(value != 0);
  }
  if (EqualsIgnoringCase(name, "Outputs")) {
    mCamera.UserOutputValueAll.SetValue(value);
    return true;
  }
  if (EqualsIgnoringCase(name, "LogLevel")) {
    mDriverState->logLevel = value;
    mParameters->SetParameter("LogLevel", value);
    return true;
  }
  if (EqualsIgnoringCase(name, "DebugViewOutput")) {
    mDriverState->debugOutputLevel = value;
    mParameters->SetParameter("DebugViewOutput", value);
    return true;
  }
  // 5. and 6. Ejector commands go to the ejector this camera controls; others ignore them.
  if (StartsWithIgnoringCase(name, "EjectorLine")) {
    Log(3, "Camera::SetProperty: SetLine on port=%d, cmd: %s\n", mPort.load(), name);
    WithEjector([&](Ejector& ejector) { ejector.SetLine(name); });
    return true;
  }
  if (StartsWithIgnoringCase(name, "EjectorStaticCommand")) {
    Log(3, "Camera::SetProperty: SetStaticCommand on port=%d, cmd: %s\n", mPort.load(), name);
    WithEjector([&](Ejector& ejector) { ejector.SetStaticCommand(name); });
    return true;
  }
  if (EqualsIgnoringCase(name, "ExecuteTriggerSettings")) {
    Log(3, "...execute trigger settings\n");
    ApplyConfigurationToPylon();
    return true;
  }
  if (EqualsIgnoringCase(name, "EmbedTimeStamp")) {
    mParameters->SetParameter("EmbedTimeStamp", value != 0);
    return true;
  }
  // 9. A parameter of the set: a value within the driver parameter's range, or one of the
  //    enumeration's entries; a camera-bound one is then written to the camera, which may refuse it.
  if (!mParameters->Has(translated)) return false;
  bool nodeBound = false;
  const bool set = mParameters->WithParameter(translated, [&](Param_& p) {
    nodeBound = p.has_option("NodeName");
    switch (p.kind()) {
      case Param_::Kind::Int: {
        auto& parameter = static_cast<Param<int>&>(p);
        if (value < parameter.min || value > parameter.max) {
          Log(1, "Camera::SetProperty: ERROR: %d is out of the range %d..%d of %s, not set\n", value, parameter.min,
              parameter.max, translated);
          return false;
        }
        parameter.value = value;
        return true;
      }
      case Param_::Kind::Int64: static_cast<Param<int64_t>&>(p).value = value; return true;
      case Param_::Kind::Double: static_cast<Param<double>&>(p).value = value; return true;
      case Param_::Kind::Bool: static_cast<Param<bool>&>(p).value = value != 0; return true;
      case Param_::Kind::Enum: {
        auto& parameter = static_cast<ParamEnum&>(p);
        for (int64_t entry : parameter.entry_values) {
          if (entry == value) {
            parameter.select_value(value);
            return true;
          }
        }
        Log(1, "Camera::SetProperty: ERROR: %s has no entry of the value %d, not set\n", translated, value);
        return false;
      }
      default: return false;
    }
  });
  if (!set) return false;
  if (mOpen && nodeBound) {
    GenApi::INodeMap* nodeMap = mCamera.GetNodeMap();
    if (nodeMap == nullptr) return false;
    // Refused: the set takes back what the camera holds, so that a getProperty reads the truth.
    if (!mParameters->ApplyParameter(*nodeMap, translated)) {
      mParameters->UpdateParameter(*nodeMap, translated);
      return false;
    }
  }
  return true;
}

bool Camera::GetRange(const char* name, int* minimum, int* maximum) {
  Log(2, "Camera::GetRange: entering prop=%s \n", name);
  const auto use = HoldForUse();
  if (!use) {
    Log(1, "Camera::GetRange: ERROR: the camera is being opened or closed, port=%d\n", mPort.load());
    return false;
  }
  const char* translated = Translate(name);
  if (!mParameters->Has(translated)) return false;
  const bool known = mParameters->WithParameter(translated, [&](Param_& p) {
    switch (p.kind()) {
      case Param_::Kind::Int:
      case Param_::Kind::Int64:
      case Param_::Kind::Double:
        if (p.kind() == Param_::Kind::Double) {
          *minimum = boost::numeric_cast<int>(std::trunc(p.minval<double>()));
          *maximum = boost::numeric_cast<int>(std::trunc(p.maxval<double>()));
        } else {
          *minimum = boost::numeric_cast<int>(p.minval<int64_t>());
          *maximum = boost::numeric_cast<int>(p.maxval<int64_t>());
        }
        return true;
      case Param_::Kind::Bool:
        *minimum = 0;
        *maximum = 1;
        return true;
      case Param_::Kind::Enum:
        *minimum = boost::numeric_cast<int>(static_cast<ParamEnum&>(p).min_entry_value());
        *maximum = boost::numeric_cast<int>(static_cast<ParamEnum&>(p).max_entry_value());
        return true;
      default: return false;
    }
  });
  if (!known) return false;
  Log(2, "Camera::GetRange: leaving prop=%s min=%d   max=%d \n", name, *minimum, *maximum);
  return true;
}

void Camera::SetLUT(CameraParameters& parameters) {
  // The table off while it is written.
  mCamera.LUTEnable.SetValue(false);
  // 2. The table is loaded when the switch is on; an empty file name with the switch off is no error.
  if (!parameters.Has("Use LUTtable") || !parameters.GetParameter<bool>("Use LUTtable")) return;
  Log(3, "Camera::SetLUT: setting lut...");
  mCamera.LUTSelector.SetValue("Luminance");
  // The table's column from the file.
  std::vector<int64_t> indices, values;
  std::string why;
  const std::string file = parameters.GetValue<std::string>("LUTtable");
  const std::string column = parameters.GetValue<std::string>("LUTtableRow");
  if (!ReadLookupTable(file, column, indices, values, &why)) {
    // A table that cannot be read: switched off, and the operator learns why.
    Log(1, "Camera::SetLUT: ERROR: the lookup table '%s' (column '%s') cannot be loaded: %s; the table is off\n",
        file.c_str(), column.c_str(), why.c_str());
    parameters.SetParameter("Use LUTtable", false);
    return;
  }
  // 4. An entry the camera refuses (an index or value beyond its table) fails the load, not the open.
  try {
    for (std::size_t i = 0; i < indices.size(); ++i) {
      mCamera.LUTIndex.SetValue(indices[i]);
      mCamera.LUTValue.SetValue(values[i]);
    }
    mCamera.LUTEnable.SetValue(true);
  } catch (const GenICam::GenericException& e) {
    Log(1, "Camera::SetLUT: ERROR: the camera refused the table: %s\n", e.GetDescription());
    parameters.SetParameter("Use LUTtable", false);
  }
}
