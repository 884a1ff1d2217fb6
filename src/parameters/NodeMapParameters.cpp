// Parameters that mirror a camera's node map: created from its categories (a selected feature once
// per selector entry), written to the camera and read back.
// Host thread: inside the camera's open, its properties and the trigger settings.

#include <boost/format.hpp>
#include <cstring>
#include <mutex>
#include <typeinfo>

#include "driver/Log.h"
#include "parameters/CameraParameters.h"

namespace {

const char* const kSkippedCategories[] = {"LUTControls", "ChunkDataStreams", "UserSets", "FileAccess",
                                          "EventsGeneration", "AOI"};

const char* const kSkippedNames[] = {"TLParamsLocked",
                                     "PixelFormat",
                                     "NetworkInterface0_GevPersistentIPAddress",
                                     "NetworkInterface0_GevPersistentSubnetMask",
                                     "NetworkInterface0_GevPersistentDefaultGateway",
                                     "ExpertFeature1_ExpertFeatureAccessKey",
                                     "ExposureTimeBaseAbs",
                                     "ExposureTimeRaw",
                                     "ExposureTimeBaseAbsEnable",
                                     "OffsetY"};

template <std::size_t N>
bool Listed(const char* const (&list)[N], const std::string& name) {
  for (const char* entry : list) {
    if (name == entry) return true;
  }
  return false;
}

std::string NameOf(GenApi::INode* node, GenApi::IEnumEntry* entry) {
  if (entry == nullptr) return node->GetName().c_str();
  return (boost::format("%s_%s") % entry->GetSymbolic().c_str() % node->GetName().c_str()).str();
}

}  // namespace

std::vector<Param_*> CameraParameters::Snapshot() const {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  std::vector<Param_*> parameters;
  parameters.reserve(mParameters.size());
  for (const Param_& parameter : mParameters) parameters.push_back(const_cast<Param_*>(&parameter));
  return parameters;
}

void CameraParameters::CreateParametersFromNodes(GenApi::INodeMap& nodeMap) {
  // 1.
  auto* root = dynamic_cast<GenApi::ICategory*>(nodeMap.GetNode("Root"));
  if (root == nullptr) throw std::runtime_error("CameraParameters::CreateParametersFromNodes: Failed to get root node");
  // 2.
  GenApi::FeatureList_t features;
  root->GetFeatures(features);
  for (GenApi::IValue* feature : features) {
    auto* category = dynamic_cast<GenApi::ICategory*>(feature);
    if (category == nullptr) continue;
    const std::string name = category->GetName().c_str();
    if (Listed(kSkippedCategories, name)) continue;
    GenApi::FeatureList_t categoryFeatures;
    category->GetFeatures(categoryFeatures);
    CreateParametersFromFeatures(name, categoryFeatures, "", nullptr);
  }
}

void CameraParameters::CreateParametersFromFeatures(const std::string& group, const GenApi::FeatureList_t& features,
                                                    const std::string& selectorName, GenApi::IEnumEntry* entry) {
  for (GenApi::IValue* feature : features) {
    // 1.
    GenApi::INode* node = feature != nullptr ? feature->GetNode() : nullptr;
    if (node == nullptr || dynamic_cast<GenApi::IRegister*>(node) != nullptr) continue;
    // 2.
    if (!GenApi::IsReadable(node->GetAccessMode())) continue;
    // 3.
    const std::string name = NameOf(node, entry);
    // 4.
    if (Listed(kSkippedNames, name) || Has(name.c_str())) continue;
    // 5.
    std::unique_ptr<Param_> parameter(CreateParamFromNode(group, node, selectorName, entry));
    if (parameter != nullptr) Add(std::move(parameter));
  }
}

Param_* CameraParameters::CreateParamFromNode(const std::string& group, GenApi::INode* node,
                                              const std::string& selectorName, GenApi::IEnumEntry* entry) {
  // 1. A selected feature is created only through its selector.
  auto* selector = dynamic_cast<GenApi::ISelector*>(node);
  if (selector != nullptr && entry == nullptr) {
    GenApi::FeatureList_t selecting;
    selector->GetSelectingFeatures(selecting);
    if (!selecting.empty()) return nullptr;
  }
  // 2.
  const std::string name = NameOf(node, entry);
  std::unique_ptr<Param_> parameter;
  try {
    // 3. to 6., by node type in this order.
    if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
      parameter = std::make_unique<Param<int64_t>>(group, name, integer->GetValue(false, false), integer->GetMin(),
                                                   integer->GetMax(), integer->GetInc());
      if (integer->GetRepresentation() == GenApi::HexNumber) parameter->set_option("Format", std::string("%X"));
    } else if (auto* boolean = dynamic_cast<GenApi::IBoolean*>(node)) {
      parameter = std::make_unique<Param<bool>>(group, name, boolean->GetValue());
    } else if (auto* floating = dynamic_cast<GenApi::IFloat*>(node)) {
      parameter = std::make_unique<Param<double>>(group, name, floating->GetValue(), floating->GetMin(),
                                                  floating->GetMax(), 0.0);
      parameter->set_option("Format", (boost::format("%%.4f %s") % floating->GetUnit().c_str()).str());
    } else if (auto* text = dynamic_cast<GenApi::IString*>(node)) {
      parameter = std::make_unique<Param<std::string>>(group, name, std::string(text->GetValue().c_str()));
    } else if (auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node)) {
      GenApi::NodeList_t entries;
      enumeration->GetEntries(entries);
      if (selector != nullptr && selector->IsSelector()) {
        // 4. Each readable entry in turn; the selector stays at the last one.
        for (GenApi::INode* entryNode : entries) {
          auto* selectorEntry = dynamic_cast<GenApi::IEnumEntry*>(entryNode);
          if (selectorEntry == nullptr || !GenApi::IsReadable(selectorEntry->GetAccessMode())) continue;
          enumeration->SetIntValue(selectorEntry->GetValue(), true);
          GenApi::FeatureList_t selected;
          selector->GetSelectedFeatures(selected);
          CreateParametersFromFeatures(group, selected, node->GetName().c_str(), selectorEntry);
        }
        return nullptr;
      }
      // 5.
      auto mirrored = std::make_unique<ParamEnum>(group, name, std::string(enumeration->ToString().c_str()));
      for (GenApi::INode* entryNode : entries) {
        auto* enumEntry = dynamic_cast<GenApi::IEnumEntry*>(entryNode);
        if (enumEntry == nullptr || !GenApi::IsReadable(enumEntry->GetAccessMode())) continue;
        mirrored->add_entry(enumEntry->GetSymbolic().c_str(), enumEntry->GetValue());
      }
      mirrored->select_value(enumeration->GetIntValue());
      parameter = std::move(mirrored);
    } else if (dynamic_cast<GenApi::IEnumEntry*>(node) != nullptr || dynamic_cast<GenApi::ICommand*>(node) != nullptr) {
      // 6.
      return nullptr;
    } else {
      Log(2, "CameraParameters::CreateParamFromNode: Skipped '%s' due unsupported type\n", node->GetName().c_str());
      return nullptr;
    }
    // 7.
    parameter->set_option("NodeName", node->GetName());
    parameter->description = node->GetDescription().c_str();
    parameter->enabled = GenApi::IsWritable(node->GetAccessMode());
    if (entry != nullptr) {
      parameter->set_option("SelectorName", selectorName);
      parameter->set_option("SelectorValue", static_cast<int64_t>(entry->GetValue()));
    }
  } catch (const std::bad_cast& e) {
    // 8.
    Log(2, "CameraParameters::CreateParamFromNode: Parameter '%s' overflow: %s\n", node->GetName().c_str(), e.what());
  }
  return parameter.release();
}

void CameraParameters::SetSelector(GenApi::INode* node, const Param_& parameter) {
  // 1.
  auto* selector = dynamic_cast<GenApi::ISelector*>(node);
  if (selector == nullptr || !parameter.has_option("SelectorName")) return;
  // 2.
  const std::string selectorName = parameter.get_option<std::string>("SelectorName");
  GenApi::FeatureList_t selecting;
  selector->GetSelectingFeatures(selecting);
  for (GenApi::IValue* feature : selecting) {
    if (feature == nullptr || selectorName != feature->GetNode()->GetName().c_str()) continue;
    auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(feature);
    if (enumeration != nullptr && parameter.has_option("SelectorValue")) {
      enumeration->SetIntValue(parameter.get_option<int64_t>("SelectorValue"), true);
    } else {
      Log(2, "CameraParameters::SetSelector: Failed to set selector for '%s'\n", parameter.name.c_str());
    }
    return;
  }
  // 3. No selecting feature of that name: nothing.
}

void CameraParameters::ApplyParameter(GenApi::INodeMap& nodeMap, Param_& parameter) {
  const char* name = parameter.name.c_str();
  // 1.
  if (!parameter.has_option("NodeName")) {
    Log(3, "CameraParameters::ApplyParameter: Parameter '%s' doesn't have node name, skipped\n", name);
    return;
  }
  // 2.
  GenApi::INode* node = nodeMap.GetNode(parameter.get_option<GenICam::gcstring>("NodeName"));
  if (node == nullptr) {
    Log(2, "CameraParameters::ApplyParameter: There is no '%s' node\n", name);
    return;
  }
  // 3.
  if (!GenApi::IsWritable(node->GetAccessMode())) {
    Log(2, "CameraParameters::ApplyParameter: Skipped '%s' read-only parameter\n", name);
    return;
  }
  // 4.
  try {
    SetSelector(node, parameter);
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::ApplyParameter: Failed to set selector for '%s': %s\n", name, e.what());
    return;
  }
  try {
    // 5.
    Log(3, "CameraParameters::ApplyParameter: Set parameter: %s=%s", name, parameter.get_string());
    // 6. Only where the camera's value differs, and only for the matching class.
    const Param_::Kind kind = parameter.kind();
    if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
      if (kind == Param_::Kind::Int64) {
        const int64_t value = static_cast<Param<int64_t>&>(parameter).value;
        if (integer->GetValue() != value) integer->SetValue(value, true);
      }
    } else if (auto* boolean = dynamic_cast<GenApi::IBoolean*>(node)) {
      if (kind == Param_::Kind::Bool) {
        const bool value = static_cast<Param<bool>&>(parameter).value;
        if (boolean->GetValue() != value) boolean->SetValue(value, true);
      }
    } else if (auto* floating = dynamic_cast<GenApi::IFloat*>(node)) {
      if (kind == Param_::Kind::Double) {
        const double value = static_cast<Param<double>&>(parameter).value;
        if (floating->GetValue() != value) floating->SetValue(value, true);
      }
    } else if (auto* text = dynamic_cast<GenApi::IString*>(node)) {
      if (kind == Param_::Kind::String) {
        const std::string& value = static_cast<Param<std::string>&>(parameter).value;
        if (value != text->GetValue().c_str()) text->SetValue(value, true);
      }
    } else if (auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node)) {
      if (kind == Param_::Kind::Enum) {
        const int64_t value = static_cast<ParamEnum&>(parameter).int_value();
        if (enumeration->GetIntValue() != value) enumeration->SetIntValue(value, true);
      }
    } else if (dynamic_cast<GenApi::IEnumEntry*>(node) == nullptr) {
      Log(3, "CameraParameters::ApplyParameter: Skipped '%s' due unsupported type\n", name);
    }
  } catch (const GenICam::AccessException& e) {
    // 7.
    Log(3, "CameraParameters::ApplyParameter: Skipped '%s' due access level: %s\n", name, e.what());
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::ApplyParameter: Skipped '%s' due to error: %s\n", name, e.what());
  }
}

void CameraParameters::UpdateParameter(GenApi::INodeMap& nodeMap, Param_& parameter) {
  const char* name = parameter.name.c_str();
  // 1.
  if (!parameter.has_option("NodeName")) {
    Log(3, "CameraParameters::UpdateParameter: Parameter '%s' doesn't have node name, skipped\n", name);
    return;
  }
  // 2.
  GenApi::INode* node = nodeMap.GetNode(parameter.get_option<GenICam::gcstring>("NodeName"));
  if (node == nullptr) {
    Log(2, "CameraParameters::UpdateParameter: There is no '%s' node\n", name);
    return;
  }
  // 3.
  if (!GenApi::IsReadable(node->GetAccessMode())) {
    Log(2, "CameraParameters::UpdateParameter: Skipped '%s' non readable parameter\n", name);
    return;
  }
  // 4.
  try {
    SetSelector(node, parameter);
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::UpdateParameter: Failed to set selector for '%s': %s\n", name, e.what());
    return;
  }
  // 5. The values change under the set's lock: the driver's threads may read the set meanwhile.
  try {
    std::unique_lock<std::shared_mutex> guard(mGuard);
    const Param_::Kind kind = parameter.kind();
    bool known = true;
    if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
      if (kind == Param_::Kind::Int64) {
        auto& p = static_cast<Param<int64_t>&>(parameter);
        p.min = integer->GetMin();
        p.max = integer->GetMax();
        p.value = integer->GetValue();
      }
    } else if (auto* boolean = dynamic_cast<GenApi::IBoolean*>(node)) {
      if (kind == Param_::Kind::Bool) static_cast<Param<bool>&>(parameter).value = boolean->GetValue();
    } else if (auto* floating = dynamic_cast<GenApi::IFloat*>(node)) {
      if (kind == Param_::Kind::Double) {
        auto& p = static_cast<Param<double>&>(parameter);
        p.min = floating->GetMin();
        p.max = floating->GetMax();
        p.value = floating->GetValue();
      }
    } else if (auto* text = dynamic_cast<GenApi::IString*>(node)) {
      if (kind == Param_::Kind::String) static_cast<Param<std::string>&>(parameter).value = text->GetValue().c_str();
    } else if (auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node)) {
      if (kind == Param_::Kind::Enum) static_cast<ParamEnum&>(parameter).select_value(enumeration->GetIntValue());
    } else {
      known = false;
      if (dynamic_cast<GenApi::IEnumEntry*>(node) == nullptr) {
        Log(3, "CameraParameters::UpdateParameter: Skipped '%s' due unsupported type\n", name);
      }
    }
    if (known) parameter.enabled = GenApi::IsWritable(node->GetAccessMode());
  } catch (const GenICam::AccessException& e) {
    // 6.
    Log(3, "CameraParameters::UpdateParameter: Skipped '%s' due access level: %s\n", name, e.what());
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::UpdateParameter: Skipped '%s' due to error: %s\n", name, e.what());
  } catch (const std::bad_cast& e) {
    Log(2, "CameraParameters::UpdateParameter: Parameter '%s' overflow: %s\n", node->GetName().c_str(), e.what());
  }
}

void CameraParameters::ApplyParameters(GenApi::INodeMap& nodeMap) {
  for (Param_* parameter : Snapshot()) {
    if (parameter->enabled && !parameter->global) ApplyParameter(nodeMap, *parameter);
  }
  nodeMap.InvalidateNodes();
}

void CameraParameters::UpdateParameters(GenApi::INodeMap& nodeMap) {
  for (Param_* parameter : Snapshot()) {
    if (!parameter->global) UpdateParameter(nodeMap, *parameter);
  }
}
