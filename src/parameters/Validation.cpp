// Geometry validation of a CameraParameters: the camera's limits, the line-counter bounds that
// follow from the image geometry, and the check of every number against its bounds.
// Runs on the host thread that opens or configures the camera, while it does not grab.

#include <boost/format.hpp>
#include <sstream>

#include "driver/Log.h"
#include "parameters/CameraParameters.h"

int CameraParameters::GetMaxLines() {
  // Frame mode: the height's own limit.
  if (!Get("LineGrabbingMode").val<bool>()) return Get("Height").maxval<int>();
  // Line-counter mode: what the round buffer's memory allows.
  int w = Get("Width").val<int>();
  if (w < 2) w = 1;
  int lines = 189000000 / w;
  if ((mDescriptor.kindFlags & CameraDescriptor::kColour) != 0) lines = lines / 3;
  return lines < 100000 ? lines : 100000;
}

void CameraParameters::SetBoundaryValues(GenApi::IInteger& width, GenApi::IInteger& height,
                                         GenApi::IInteger& offsetX) {
  Param_& widthParam = Get("Width");
  Param_& heightParam = Get("Height");
  Param_& offsetParam = Get("OffsetX");
  // Limits from the camera's nodes.
  widthParam.minval(static_cast<int64_t>(width.GetMin()));
  widthParam.maxval(static_cast<int64_t>(width.GetMax()));
  heightParam.minval(static_cast<int64_t>(height.GetMin()));
  heightParam.maxval(static_cast<int64_t>(height.GetMax() - 1));
  // Lines per trigger at most the height.
  Get("LineCounterResolution").maxval(heightParam.val<int>());
  offsetParam.minval(static_cast<int64_t>(offsetX.GetMin()));
  offsetParam.maxval(static_cast<int64_t>(offsetX.GetMax()));
  // The overlap within its limits.
  Param_& overlap = Get("OverlappedLines");
  overlap.minval(0);
  overlap.maxval(heightParam.val<int>());
  Log(3, "SetBoundaryValues: Width=(%d,%d,%d), offset=(%d,%d,%d)", widthParam.val<int>(), widthParam.minval<int>(),
      widthParam.maxval<int>(), offsetParam.val<int>(), offsetParam.minval<int>(), offsetParam.maxval<int>());
}

bool CameraParameters::Validate(std::string& message) {
  // 1. Parameters that only matter when another one is on.
  const bool useLut = Get("Use LUTtable").val<bool>();
  Get("LUTtable").enabled = useLut;
  Get("LUTtableRow").enabled = useLut;
  Get("Decimation").enabled = Get("UseDecimation").val<bool>();
  const bool lineMode = Get("LineGrabbingMode").val<bool>();
  for (const char* key : {"LineCounterResolution", "ConveyorTimeout", "Delay", "EjectorControl", "EjectorInverted",
                          "EjectorSetAll", "EjectorStaticMode", "EjectorStaticCommand"}) {
    Get(key).enabled = lineMode;
  }

  const int maxLines = GetMaxLines();

  // Line-counter mode: chunk multiples.
  if (lineMode) {
    Param_& resolution = Get("LineCounterResolution");
    {
      const int h = Get("Height").val<int>();
      resolution.minval(h / 10000 >= 1 ? h / 10000 : 1);
      resolution.maxval(h);
    }
    const int n = resolution.val<int>();
    const int h = Get("Height").val<int>();
    const int o = Get("OverlappedLines").val<int>();
    const int64_t heightAndOverlap = static_cast<int64_t>(h) + o;  // stored values may be anything
    if (n < 1 || heightAndOverlap % n != 0) {
      message =
          (boost::format("General: Lines per Trigger: must be a multiple of: height+overlap=%d") % heightAndOverlap).str();
      return false;
    }
    if (h % n != 0 || o % n != 0) {
      message = (boost::format("General: Lines per Trigger: must be a multiple of both height=%d and overlap=%d") % h %
                 o)
                    .str();
      return false;
    }
    Param_& delay = Get("Delay");
    delay.minval(0);
    delay.maxval(maxLines / n);
  }

  // Overlap and delay within the height.
  Get("OverlappedLines").maxval(Get("Height").val<int>());

  // The delay's range in its description.
  Get("Delay").description =
      (boost::format("chunks (%d lines each)") % Get("LineCounterResolution").val<int>()).str();

  // The width as far as the offset allows.
  Param_& widthParam = Get("Width");
  Param_& offsetParam = Get("OffsetX");
  Log(3, "Validate: Width=(%d,%d,%d), offset=(%d,%d,%d)", widthParam.val<int>(), widthParam.minval<int>(),
      widthParam.maxval<int>(), offsetParam.val<int>(), offsetParam.minval<int>(), offsetParam.maxval<int>());

  // Each parameter within its range.
  for (Param_& parameter : mParameters) {
    if (!parameter.enabled) continue;
    if (parameter.kind() == Param_::Kind::Bool || parameter.kind() == Param_::Kind::String ||
        parameter.kind() == Param_::Kind::Enum) {
      continue;
    }
    // Its label in the message.
    const std::string label =
        parameter.has_option("FriendlyName") ? parameter.get_option<std::string>("FriendlyName") : parameter.name;
    // The height's range is the round buffer's.
    if (label == "Height") {
      const int v = parameter.val<int>();
      if (v < 1 || v > maxLines) {
        message = (boost::format("%s: Height is out of range [0..%d]") % parameter.group % maxLines).str();
        return false;
      }
      continue;
    }
    // Out of range: the message, and OK disabled.
    if (!parameter.in_range()) {
      std::ostringstream range;
      parameter.print_range(range);
      message = (boost::format("%s: %s: out of range %s") % parameter.group % label % range.str()).str();
      return false;
    }
    if (parameter.kind() == Param_::Kind::Int) {
      const Param<int>& integer = static_cast<const Param<int>&>(parameter);
      if (integer.increment != 0 &&
          (static_cast<int64_t>(integer.value) - integer.min) % static_cast<int64_t>(integer.increment) != 0) {
        message = (boost::format("%s: %s: must be multiple of %d") % parameter.group % label % integer.increment).str();
        return false;
      }
    }
  }
  return true;
}
