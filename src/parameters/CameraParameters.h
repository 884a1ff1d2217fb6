#pragma once
// A camera's ordered, keyed set of parameters: the driver's 26 fixed parameters, then those mirrored
// from the camera's node map. Stored in Korvex.ini: the camera's section for its own parameters,
// "General" for the driver-wide ones.
//
// Threads:
// - Host threads build, load, save, validate and edit the set (open, configure, properties).
// - The grab wait thread, row delivery and the ejector thread read values by key while the camera
//   grabs. They use the value readers (GetParameter, GetValue, the named getters, GetBufferLines),
//   which hold mGuard shared for the lookup and the read.
// - Assign, Add, SetParameter, SetValue, Load and Save hold mGuard exclusively while they change
//   the sequence, the index or a value, so a reader never sees a parameter being replaced or freed.
// - Get, GetParam and iteration hand out references without holding the lock, and Assign may
//   destroy what they refer to: they are for a copy (the dialog's) or for the camera's open and
//   close, which hold the camera's lifecycle lock as the dialog's OK does. Every other user names
//   a parameter each time (ApplyParameter and UpdateParameter copy what the camera needs under the
//   lock and talk to the camera without it).

#include <boost/ptr_container/ptr_vector.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "os/PrivateProfile.h"
#include "camera/CameraDescriptor.h"
#include "camera_sdk/GenApi.h"
#include "parameters/Param.h"

class CameraParameters {
 public:
  using Sequence = boost::ptr_vector<Param_>;

  CameraParameters();
  explicit CameraParameters(const CameraDescriptor& descriptor);
  CameraParameters(const CameraParameters& source);
  CameraParameters& operator=(const CameraParameters&) = delete;  // Assign says what it replaces

  // Replaces every parameter by a clone of the source's, in the source's order, and takes its descriptor.
  void Assign(const CameraParameters& source);

  // Takes the parameter unless one of that name exists; a refused parameter is destroyed.
  bool Add(std::unique_ptr<Param_> parameter);

  Param_& Get(const char* key);
  Param_& Get(const std::string& key) { return Get(key.c_str()); }
  Param_* GetParam(const char* key);
  Param_* GetParam(const std::string& key) { return GetParam(key.c_str()); }
  bool Has(const char* key) const;

  // Exact class: int (Param<int>) or bool (Param<bool>).
  template <typename T>
  T GetParameter(const char* key) const;
  // Exact class: int, bool, int64_t, double. The value only, without bounds.
  template <typename T>
  void SetParameter(const char* key, T value);

  // Any parameter, converted as Param_::val does.
  template <typename R>
  R GetValue(const char* key) const {
    std::shared_lock<std::shared_mutex> guard(mGuard);
    return Lookup(key, "CameraParameters::Get: Parameter '").template val<R>();
  }
  template <typename R>
  void SetValue(const char* key, const R& value) {
    std::unique_lock<std::shared_mutex> guard(mGuard);
    Lookup(key, "CameraParameters::Get: Parameter '").val(value);
  }

  // Runs f on the parameter under the exclusive lock (std::runtime_error when it does not exist).
  template <typename F>
  auto WithParameter(const char* key, F f) {
    std::unique_lock<std::shared_mutex> guard(mGuard);
    return f(Lookup(key, "CameraParameters::Get: Parameter '"));
  }

  int GetLineCounterResolution() const { return GetParameter<int>("LineCounterResolution"); }
  int GetOverlappedLines() const { return GetParameter<int>("OverlappedLines"); }
  int GetDelay() const { return GetParameter<int>("Delay"); }
  int GetDebugViewOutput() const { return GetParameter<int>("DebugViewOutput"); }
  int GetConveyorTimeout() const { return GetParameter<int>("ConveyorTimeout"); }
  bool GetUseBGR() const { return GetParameter<bool>("UseBGR"); }
  bool GetLogIntoFile() const { return GetParameter<bool>("LogIntoFile"); }
  bool GetLineGrabbingMode() const { return GetParameter<bool>("LineGrabbingMode"); }
  bool GetInhibitPylonTerminate() const { return GetParameter<bool>("InhibitPylonTerminate"); }

  // "LineCounterResolution" in line counter mode, else "Height".
  int GetBufferLines() const;
  // The largest image height allowed.
  int GetMaxLines();

  // The .ini file in the driver's system path, or the one named.
  bool Load();
  bool Load(const std::string& fileName);
  // The same from the file's text, read beforehand.
  bool Load(const os::ProfileText& text);
  // False, with a level-1 line, when the file could not be written.
  bool Save();
  bool Save(const std::string& fileName);

  // Parameters mirroring the camera's node map: created once per set, then written to the camera
  // and read back. Host thread, while nothing else uses the node map.
  void CreateParametersFromNodes(GenApi::INodeMap& nodeMap);
  void CreateParametersFromFeatures(const std::string& group, const GenApi::FeatureList_t& features,
                                    const std::string& selectorName, GenApi::IEnumEntry* entry);
  // A new parameter for the node (the caller owns it), or null.
  Param_* CreateParamFromNode(const std::string& group, GenApi::INode* node, const std::string& selectorName,
                              GenApi::IEnumEntry* entry);
  // What talking to the camera needs of one parameter, copied out under the lock.
  struct NodeBinding {
    std::string name;
    Param_::Kind kind = Param_::Kind::Int;
    bool enabled = false;
    bool global = false;
    bool hasNode = false;
    GenICam::gcstring nodeName;
    bool hasSelector = false;
    std::string selectorName;
    bool hasSelectorValue = false;
    int64_t selectorValue = 0;
    int64_t integer = 0;  // Int64, and an enumeration's integer value
    bool boolean = false;
    double floating = 0;
    std::string text;
    std::string valueText;  // get_string, for the log (only when asked for)
  };
  // The parameter of that name, copied out (with its value as text when asked); false when there
  // is none.
  bool Bind(const std::string& key, NodeBinding& binding, bool withText) const;
  void SetSelector(GenApi::INode* node, const NodeBinding& binding);
  // By name, so that no reference is held across the camera's calls (which run without the lock).
  // False when the camera did not take the value (no such node, read-only, refused, failed).
  bool ApplyParameter(GenApi::INodeMap& nodeMap, const std::string& key);
  void UpdateParameter(GenApi::INodeMap& nodeMap, const std::string& key);
  void ApplyParameters(GenApi::INodeMap& nodeMap);
  void UpdateParameters(GenApi::INodeMap& nodeMap);

  // The camera's limits become the bounds of "Width", "Height" and "OffsetX" (and of what follows them).
  void SetBoundaryValues(GenApi::IInteger& width, GenApi::IInteger& height, GenApi::IInteger& offsetX);
  // True when the set is consistent; otherwise `message` says why.
  bool Validate(std::string& message);

  Sequence::iterator begin() { return mParameters.begin(); }
  Sequence::iterator end() { return mParameters.end(); }
  Sequence::const_iterator begin() const { return mParameters.begin(); }
  Sequence::const_iterator end() const { return mParameters.end(); }
  std::size_t size() const { return mParameters.size(); }

  const CameraDescriptor& GetDescriptor() const { return mDescriptor; }

 private:
  using Index = std::map<std::string, Param_*, std::less<>>;

  void AddFixedParameters();
  // The parameters' names, in order.
  std::vector<std::string> Snapshot() const;
  // Bind with mGuard held as `withText` needs it.
  bool BindLocked(const std::string& key, NodeBinding& binding, bool withText) const;
  // ApplyParameter and UpdateParameter of a parameter already bound; the values read back go to
  // the parameter of the binding's name, if it is still there.
  bool ApplyBound(GenApi::INodeMap& nodeMap, const NodeBinding& binding);
  void UpdateBound(GenApi::INodeMap& nodeMap, NodeBinding& binding);
  // The parameter, or null; the caller holds mGuard.
  Param_* Find(const char* key) const;
  // The parameter, or std::runtime_error with `what` + key + "' does not exist".
  Param_& Lookup(const char* key, const char* what) const;

  Sequence mParameters;  // guarded by mGuard
  Index mIndex;          // guarded by mGuard; always exactly the parameters of the sequence
  CameraDescriptor mDescriptor;
  mutable std::shared_mutex mGuard;
};
