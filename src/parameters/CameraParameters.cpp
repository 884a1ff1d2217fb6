#include "CameraParameters.h"

#include <mutex>
#include <stdexcept>
#include <string_view>

#include "driver/DriverState.h"
#include "os/PrivateProfile.h"
#include "driver/Log.h"

namespace {

const char* const kGeneral = "General";
const char* const kLineCounter = "Line Counter";

std::unique_ptr<Param_> IntParam(const char* group, const char* key, int value, int min, int max) {
  return std::make_unique<Param<int>>(group, key, value, min, max, 0);
}

std::unique_ptr<Param_> BoolParam(const char* group, const char* key, bool value) {
  return std::make_unique<Param<bool>>(group, key, value);
}

std::unique_ptr<Param_> TextParam(const char* group, const char* key, const char* value) {
  return std::make_unique<Param<std::string>>(group, key, std::string(value));
}

struct Flags {
  bool global = false;
  bool persistent = true;
  bool visible = true;
};
constexpr Flags kPlain{};
constexpr Flags kGlobal{true, true, true};
constexpr Flags kGlobalNotPersistent{true, false, true};
constexpr Flags kGlobalHidden{true, true, false};
constexpr Flags kGlobalNotPersistentHidden{true, false, false};

const char* KeyText(const char* key) { return key != nullptr ? key : "(null)"; }

}  // namespace

CameraParameters::CameraParameters() { AddFixedParameters(); }

CameraParameters::CameraParameters(const CameraDescriptor& descriptor) : mDescriptor(descriptor) {
  AddFixedParameters();
}

CameraParameters::CameraParameters(const CameraParameters& source) : mDescriptor(source.GetDescriptor()) {
  AddFixedParameters();
  Assign(source);
}

void CameraParameters::AddFixedParameters() {
  auto add = [this](std::unique_ptr<Param_> parameter, const char* friendlyName, const char* description,
                    Flags flags) {
    if (friendlyName != nullptr) parameter->set_option("FriendlyName", std::string(friendlyName));
    if (description != nullptr) parameter->description = description;
    parameter->global = flags.global;
    parameter->persistent = flags.persistent;
    parameter->visible = flags.visible;
    Add(std::move(parameter));
  };

  add(IntParam(kGeneral, "Width", 512, 1, 2048), "Width", nullptr, kPlain);
  add(IntParam(kGeneral, "Height", 512, 1, 4095), "Height", nullptr, kPlain);
  add(IntParam(kGeneral, "OffsetX", 0, 0, 2047), "Offset", nullptr, kPlain);
  add(IntParam(kGeneral, "OverlappedLines", 0, 0, 0), "Y Overlap", "Overlapped lines for line grabbing mode", kPlain);
  add(BoolParam(kGeneral, "UseDecimation", false), "Enable Decimation", nullptr, kPlain);
  add(IntParam(kGeneral, "Decimation", 0, 0, 10), "Decimation value", "Set decimation value", kPlain);
  add(BoolParam(kGeneral, "UseBGR", false), "Use BGR", "Use BGR or RGB format for color images", kPlain);
  add(BoolParam(kGeneral, "Use LUTtable", false), "Enable LUT", "Enable use of LUT table", kPlain);
  add(TextParam(kGeneral, "LUTtable", ""), "LUT file", "Select csv file to be used as a lut table", kPlain);
  add(TextParam(kGeneral, "LUTtableRow", ""), "LUT row", "Select row from the LUT file", kPlain);
  add(IntParam(kGeneral, "LogLevel", 1, 0, 4), "Log Level", "Set logging message intensity [0..3]", kGlobal);
  add(BoolParam(kGeneral, "LogIntoFile", false), "Also log into file", "Also log messages into file",
      kGlobalNotPersistent);
  add(IntParam(kGeneral, "DebugViewOutput", 0, 0, 4), nullptr, nullptr, kGlobalHidden);
  add(BoolParam(kGeneral, "EmbedTimeStamp", false), nullptr, nullptr, kGlobalNotPersistentHidden);
  add(BoolParam(kGeneral, "InhibitPylonTerminate", true), "Inhibit Pylon Terminate",
      "If enabled Pylon terminate function will not be called. Enable when using several pylon drivers in the same "
      "profile, for example Basler Runner together with Area Scan gige or firewire cameras",
      kGlobal);
  {
    auto library = std::make_unique<ParamEnum>(kGeneral, "AdvantechLibrary", "Adsapi");
    library->add_entry("Adsapi", 0);
    library->add_entry("BioDAQ", 1);
    add(std::move(library), nullptr, "Select Advantech library, which one do you want to use.", kGlobal);
  }
  add(BoolParam(kLineCounter, "LineGrabbingMode", false), "Line counter mode", "Enable line counter mode", kPlain);
  add(IntParam(kLineCounter, "LineCounterResolution", 1, 1, 100), "Lines per trigger", nullptr, kPlain);
  add(IntParam(kLineCounter, "ConveyorTimeout", 100, 1, 1000), "Conveyor timeout", nullptr, kPlain);
  add(IntParam(kLineCounter, "Delay", 0, 0, 0), "Y Delay", nullptr, kPlain);
  add(BoolParam(kLineCounter, "EjectorControl", false), "Enable ejector control", nullptr, kPlain);
  add(BoolParam(kLineCounter, "EjectorInverted", false), "Invert ejector commands", nullptr, kPlain);
  add(BoolParam(kLineCounter, "EjectorSetAll", true), "Set ejector for all lines", nullptr, kPlain);
  add(BoolParam(kLineCounter, "EjectorStaticMode", false), nullptr, nullptr, kPlain);
  add(TextParam(kLineCounter, "EjectorStaticCommand", "FFFFFFFF"), nullptr, nullptr, kPlain);
  add(IntParam(kLineCounter, "EjectorDeviceNumber", 0, 0, 7), "Ejector device number",
      "Set ejector Device Number (equal to Advantech driver Device Number, check Device Manager)", kPlain);
}

void CameraParameters::Assign(const CameraParameters& source) {
  // The clones are made aside and swapped in under the lock; the old parameters are destroyed
  // after it is released, when no reader can reach them any more.
  Sequence fresh;
  CameraDescriptor descriptor;
  {
    std::shared_lock<std::shared_mutex> guard(source.mGuard);
    fresh = source.mParameters;  // clones, through new_clone
    descriptor = source.mDescriptor;
  }
  Index freshIndex;
  for (Param_& parameter : fresh) freshIndex.emplace(parameter.name, &parameter);
  {
    std::unique_lock<std::shared_mutex> guard(mGuard);
    mParameters.swap(fresh);
    mIndex.swap(freshIndex);
    mDescriptor.name = descriptor.name;
    mDescriptor.kindFlags = descriptor.kindFlags;
  }
}

bool CameraParameters::Add(std::unique_ptr<Param_> parameter) {
  if (parameter == nullptr) return false;
  std::unique_lock<std::shared_mutex> guard(mGuard);
  if (mIndex.find(parameter->name) != mIndex.end()) return false;
  Param_* raw = parameter.get();
  mParameters.push_back(parameter.release());
  mIndex.emplace(raw->name, raw);
  return true;
}

Param_* CameraParameters::Find(const char* key) const {
  if (key == nullptr) return nullptr;
  // A string_view key measures the text once, where a const char* would be measured at every comparison.
  const auto found = mIndex.find(std::string_view(key));
  return found != mIndex.end() ? found->second : nullptr;
}

Param_& CameraParameters::Lookup(const char* key, const char* what) const {
  if (Param_* parameter = Find(key)) return *parameter;
  throw std::runtime_error(std::string(what) + KeyText(key) + "' does not exist");
}

Param_& CameraParameters::Get(const char* key) {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  return Lookup(key, "CameraParameters::Get: Parameter '");
}

Param_* CameraParameters::GetParam(const char* key) {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  return &Lookup(key, "CameraParameters::GetParam: Parameter '");
}

bool CameraParameters::Has(const char* key) const {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  return Find(key) != nullptr;
}

template <typename T>
T CameraParameters::GetParameter(const char* key) const {
  static_assert(std::is_same_v<T, int> || std::is_same_v<T, bool>, "GetParameter reads int or bool");
  std::shared_lock<std::shared_mutex> guard(mGuard);
  const Param_* found = Find(key);
  if (found == nullptr) {
    throw std::out_of_range(std::string("Camera::GetParameter: Parameter '") + KeyText(key) + "' does not exist");
  }
  const Param_& parameter = *found;
  const Param_::Kind wanted = std::is_same_v<T, int> ? Param_::Kind::Int : Param_::Kind::Bool;
  if (parameter.kind() != wanted) {
    throw std::runtime_error(std::string("Camera::GetParameter: Parameter '") + key + "' accessed by wrong type");
  }
  return static_cast<const Param<T>&>(parameter).value;
}

template <typename T>
void CameraParameters::SetParameter(const char* key, T value) {
  static_assert(std::is_same_v<T, int> || std::is_same_v<T, bool> || std::is_same_v<T, int64_t> ||
                    std::is_same_v<T, double>,
                "SetParameter writes int, bool, int64_t or double");
  std::unique_lock<std::shared_mutex> guard(mGuard);
  Param_* found = Find(key);
  if (found == nullptr) {
    throw std::runtime_error(std::string("Camera::SetParameter: Parameter '") + KeyText(key) + "' not found");
  }
  Param_& parameter = *found;
  Param_::Kind wanted = Param_::Kind::Double;
  if constexpr (std::is_same_v<T, int>) wanted = Param_::Kind::Int;
  if constexpr (std::is_same_v<T, bool>) wanted = Param_::Kind::Bool;
  if constexpr (std::is_same_v<T, int64_t>) wanted = Param_::Kind::Int64;
  if (parameter.kind() != wanted) {
    throw std::runtime_error(std::string("Camera::SetParameter: Parameter '") + key + "' accessed by wrong type");
  }
  static_cast<Param<T>&>(parameter).value = value;
}

template int CameraParameters::GetParameter<int>(const char*) const;
template bool CameraParameters::GetParameter<bool>(const char*) const;
template void CameraParameters::SetParameter<int>(const char*, int);
template void CameraParameters::SetParameter<bool>(const char*, bool);
template void CameraParameters::SetParameter<int64_t>(const char*, int64_t);
template void CameraParameters::SetParameter<double>(const char*, double);

int CameraParameters::GetBufferLines() const {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  const bool lineMode = Lookup("LineGrabbingMode", "CameraParameters::Get: Parameter '").val<bool>();
  return Lookup(lineMode ? "LineCounterResolution" : "Height", "CameraParameters::Get: Parameter '").val<int>();
}

bool CameraParameters::Load() { return Load(DriverState::Get().GetConfigFilePath()); }

bool CameraParameters::Load(const std::string& fileName) {
  // The file is read before the lock is taken, its two sections once: readers of the set (the
  // grab and ejector threads) wait only for the values to be stored.
  os::ProfileText text;
  text.ReadFile(fileName.c_str());
  return Load(text);
}

bool CameraParameters::Load(const os::ProfileText& text) {
  std::string section;
  {
    std::shared_lock<std::shared_mutex> guard(mGuard);
    section = mDescriptor.name;
  }
  const auto own = text.Section(section.c_str());
  const auto general = text.Section(kGeneral);
  std::unique_lock<std::shared_mutex> guard(mGuard);
  for (Param_& parameter : mParameters) {
    if (!parameter.persistent) continue;
    if (!parameter.enabled) continue;
    const std::string* value = os::FindPrivateProfileKey(parameter.global ? general : own, parameter.name.c_str());
    if (value == nullptr) continue;  // the default is the current value
    // Values longer than 255 characters are cut, as the private-profile read with its buffer cuts them.
    parameter.set_string(value->substr(0, 255), false);
  }
  return true;
}

bool CameraParameters::Save() { return Save(DriverState::Get().GetConfigFilePath()); }

bool CameraParameters::Save(const std::string& fileName) {
  // The values are copied under the lock and the file is written once, without it.
  std::vector<os::ProfileEntry> entries;
  {
    std::unique_lock<std::shared_mutex> guard(mGuard);  // get_string writes the parameter's text buffer
    entries.reserve(mParameters.size());
    for (Param_& parameter : mParameters) {
      if (!parameter.persistent) continue;
      if (!parameter.enabled) continue;
      const char* section = parameter.global ? kGeneral : mDescriptor.name.c_str();
      entries.push_back({section, parameter.name, parameter.get_string()});
    }
  }
  if (!os::WritePrivateProfileStrings(fileName.c_str(), entries)) {
    Log(1, "CameraParameters::Save: ERROR: could not write the configuration file %s\n", fileName.c_str());
    return false;
  }
  return true;
}
