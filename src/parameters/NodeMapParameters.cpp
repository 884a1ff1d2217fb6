// Parameters that mirror a camera's node map: created from its categories (a selected feature once
// per selector entry), written to the camera and read back.
// Host threads: inside the camera's open, its properties and the trigger settings. A parameter is
// looked up by name under the set's lock and what the camera needs of it copied out; the camera is
// talked to without the lock, and values read back are stored under it into whatever parameter has
// that name then (a dialog's OK may have replaced the set meanwhile).

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

std::vector<std::string> CameraParameters::Snapshot() const {
  std::shared_lock<std::shared_mutex> guard(mGuard);
  std::vector<std::string> names;
  names.reserve(mParameters.size());
  for (const Param_& parameter : mParameters) names.push_back(parameter.name);
  return names;
}

bool CameraParameters::Bind(const std::string& key, NodeBinding& binding, bool withText) const {
  // get_string writes the parameter's text buffer: only the text needs the lock exclusively.
  if (withText) {
    std::unique_lock<std::shared_mutex> guard(mGuard);
    return BindLocked(key, binding, true);
  }
  std::shared_lock<std::shared_mutex> guard(mGuard);
  return BindLocked(key, binding, false);
}

bool CameraParameters::BindLocked(const std::string& key, NodeBinding& binding, bool withText) const {
  Param_* found = Find(key.c_str());
  if (found == nullptr) return false;
  Param_& parameter = *found;
  binding.name = parameter.name;
  binding.kind = parameter.kind();
  binding.enabled = parameter.enabled;
  binding.global = parameter.global;
  binding.hasNode = parameter.has_option("NodeName");
  if (binding.hasNode) binding.nodeName = parameter.get_option<GenICam::gcstring>("NodeName");
  binding.hasSelector = parameter.has_option("SelectorName");
  if (binding.hasSelector) binding.selectorName = parameter.get_option<std::string>("SelectorName");
  binding.hasSelectorValue = parameter.has_option("SelectorValue");
  if (binding.hasSelectorValue) binding.selectorValue = parameter.get_option<int64_t>("SelectorValue");
  switch (binding.kind) {
    case Param_::Kind::Int64: binding.integer = static_cast<const Param<int64_t>&>(parameter).value; break;
    case Param_::Kind::Bool: binding.boolean = static_cast<const Param<bool>&>(parameter).value; break;
    case Param_::Kind::Double: binding.floating = static_cast<const Param<double>&>(parameter).value; break;
    case Param_::Kind::String: binding.text = static_cast<const Param<std::string>&>(parameter).value; break;
    case Param_::Kind::Enum: binding.integer = static_cast<const ParamEnum&>(parameter).int_value(); break;
    default: break;
  }
  if (withText) binding.valueText = parameter.get_string();
  return true;
}

void CameraParameters::CreateParametersFromNodes(GenApi::INodeMap& nodeMap) {
  // From the root category down.
  auto* root = dynamic_cast<GenApi::ICategory*>(nodeMap.GetNode("Root"));
  if (root == nullptr) throw std::runtime_error("CameraParameters::CreateParametersFromNodes: Failed to get root node");
  // Its features, categories first.
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
    // Each feature's node.
    GenApi::INode* node = feature != nullptr ? feature->GetNode() : nullptr;
    if (node == nullptr || dynamic_cast<GenApi::IRegister*>(node) != nullptr) continue;
    // Only what can be read.
    if (!GenApi::IsReadable(node->GetAccessMode())) continue;
    // Its name, with the selector's entry.
    const std::string name = NameOf(node, entry);
    // Skipped names and those already in the set.
    if (Listed(kSkippedNames, name) || Has(name.c_str())) continue;
    // A parameter for it.
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
      // An enumeration with its entries.
      auto mirrored = std::make_unique<ParamEnum>(group, name, std::string(enumeration->ToString().c_str()));
      for (GenApi::INode* entryNode : entries) {
        auto* enumEntry = dynamic_cast<GenApi::IEnumEntry*>(entryNode);
        if (enumEntry == nullptr || !GenApi::IsReadable(enumEntry->GetAccessMode())) continue;
        mirrored->add_entry(enumEntry->GetSymbolic().c_str(), enumEntry->GetValue());
      }
      mirrored->select_value(enumeration->GetIntValue());
      parameter = std::move(mirrored);
    } else if (dynamic_cast<GenApi::IEnumEntry*>(node) != nullptr || dynamic_cast<GenApi::ICommand*>(node) != nullptr) {
      // No parameter for any other kind.
      return nullptr;
    } else {
      Log(2, "CameraParameters::CreateParamFromNode: Skipped '%s' due unsupported type\n", node->GetName().c_str());
      return nullptr;
    }
    // Bound to its node by name.
    parameter->set_option("NodeName", node->GetName());
    parameter->description = node->GetDescription().c_str();
    parameter->enabled = GenApi::IsWritable(node->GetAccessMode());
    if (entry != nullptr) {
      parameter->set_option("SelectorName", selectorName);
      parameter->set_option("SelectorValue", static_cast<int64_t>(entry->GetValue()));
    }
  } catch (const std::bad_cast& e) {
    Log(2, "CameraParameters::CreateParamFromNode: Parameter '%s' overflow: %s\n", node->GetName().c_str(), e.what());
  }
  return parameter.release();
}

void CameraParameters::SetSelector(GenApi::INode* node, const NodeBinding& binding) {
  // Only a selector node of a parameter that names its selecting feature.
  auto* selector = dynamic_cast<GenApi::ISelector*>(node);
  if (selector == nullptr || !binding.hasSelector) return;
  // The selecting feature of that name gets the parameter's entry.
  GenApi::FeatureList_t selecting;
  selector->GetSelectingFeatures(selecting);
  for (GenApi::IValue* feature : selecting) {
    if (feature == nullptr || binding.selectorName != feature->GetNode()->GetName().c_str()) continue;
    auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(feature);
    if (enumeration != nullptr && binding.hasSelectorValue) {
      enumeration->SetIntValue(binding.selectorValue, true);
    } else {
      Log(2, "CameraParameters::SetSelector: Failed to set selector for '%s'\n", binding.name.c_str());
    }
    return;
  }
  // No selecting feature of that name: nothing.
}

bool CameraParameters::ApplyParameter(GenApi::INodeMap& nodeMap, const std::string& key) {
  NodeBinding binding;
  if (!Bind(key, binding, true)) return false;  // gone: a dialog's OK replaced the set meanwhile
  return ApplyBound(nodeMap, binding);
}

bool CameraParameters::ApplyBound(GenApi::INodeMap& nodeMap, const NodeBinding& binding) {
  const char* name = binding.name.c_str();
  // Only parameters that mirror a node.
  if (!binding.hasNode) {
    Log(3, "CameraParameters::ApplyParameter: Parameter '%s' doesn't have node name, skipped\n", name);
    return true;
  }
  // The node must exist and be writable.
  GenApi::INode* node = nodeMap.GetNode(binding.nodeName);
  if (node == nullptr) {
    Log(2, "CameraParameters::ApplyParameter: There is no '%s' node\n", name);
    return false;
  }
  if (!GenApi::IsWritable(node->GetAccessMode())) {
    Log(2, "CameraParameters::ApplyParameter: Skipped '%s' read-only parameter\n", name);
    return false;
  }
  // The selector first.
  try {
    SetSelector(node, binding);
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::ApplyParameter: Failed to set selector for '%s': %s\n", name, e.what());
    return false;
  }
  try {
    Log(3, "CameraParameters::ApplyParameter: Set parameter: %s=%s", name, binding.valueText.c_str());
    // Only where the camera's value differs, and only for the matching class.
    const Param_::Kind kind = binding.kind;
    if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
      if (kind == Param_::Kind::Int64 && integer->GetValue() != binding.integer) integer->SetValue(binding.integer, true);
    } else if (auto* boolean = dynamic_cast<GenApi::IBoolean*>(node)) {
      if (kind == Param_::Kind::Bool && boolean->GetValue() != binding.boolean) boolean->SetValue(binding.boolean, true);
    } else if (auto* floating = dynamic_cast<GenApi::IFloat*>(node)) {
      if (kind == Param_::Kind::Double && floating->GetValue() != binding.floating) {
        floating->SetValue(binding.floating, true);
      }
    } else if (auto* text = dynamic_cast<GenApi::IString*>(node)) {
      if (kind == Param_::Kind::String && binding.text != text->GetValue().c_str()) text->SetValue(binding.text, true);
    } else if (auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node)) {
      if (kind == Param_::Kind::Enum && enumeration->GetIntValue() != binding.integer) {
        enumeration->SetIntValue(binding.integer, true);
      }
    } else if (dynamic_cast<GenApi::IEnumEntry*>(node) == nullptr) {
      Log(3, "CameraParameters::ApplyParameter: Skipped '%s' due unsupported type\n", name);
    }
  } catch (const GenICam::AccessException& e) {
    Log(3, "CameraParameters::ApplyParameter: Skipped '%s' due access level: %s\n", name, e.what());
    return false;
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::ApplyParameter: Skipped '%s' due to error: %s\n", name, e.what());
    return false;
  }
  return true;
}

void CameraParameters::UpdateParameter(GenApi::INodeMap& nodeMap, const std::string& key) {
  NodeBinding binding;
  if (Bind(key, binding, false)) UpdateBound(nodeMap, binding);
}

void CameraParameters::UpdateBound(GenApi::INodeMap& nodeMap, NodeBinding& binding) {
  const char* name = binding.name.c_str();
  // Only parameters that mirror a node.
  if (!binding.hasNode) {
    Log(3, "CameraParameters::UpdateParameter: Parameter '%s' doesn't have node name, skipped\n", name);
    return;
  }
  // The node must exist and be readable.
  GenApi::INode* node = nodeMap.GetNode(binding.nodeName);
  if (node == nullptr) {
    Log(2, "CameraParameters::UpdateParameter: There is no '%s' node\n", name);
    return;
  }
  if (!GenApi::IsReadable(node->GetAccessMode())) {
    Log(2, "CameraParameters::UpdateParameter: Skipped '%s' non readable parameter\n", name);
    return;
  }
  // The selector first.
  try {
    SetSelector(node, binding);
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::UpdateParameter: Failed to set selector for '%s': %s\n", name, e.what());
    return;
  }
  // Read the camera without the set's lock, then store under it.
  try {
    bool known = true;
    bool readBack = false;  // the node's class matches the parameter's kind and was read
    double minimum = 0, maximum = 0;
    int64_t integerMinimum = 0, integerMaximum = 0;
    const Param_::Kind kind = binding.kind;
    if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
      if (kind == Param_::Kind::Int64) {
        integerMinimum = integer->GetMin();
        integerMaximum = integer->GetMax();
        binding.integer = integer->GetValue();
        readBack = true;
      }
    } else if (auto* boolean = dynamic_cast<GenApi::IBoolean*>(node)) {
      if (kind == Param_::Kind::Bool) {
        binding.boolean = boolean->GetValue();
        readBack = true;
      }
    } else if (auto* floating = dynamic_cast<GenApi::IFloat*>(node)) {
      if (kind == Param_::Kind::Double) {
        minimum = floating->GetMin();
        maximum = floating->GetMax();
        binding.floating = floating->GetValue();
        readBack = true;
      }
    } else if (auto* text = dynamic_cast<GenApi::IString*>(node)) {
      if (kind == Param_::Kind::String) {
        binding.text = text->GetValue().c_str();
        readBack = true;
      }
    } else if (auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node)) {
      if (kind == Param_::Kind::Enum) {
        binding.integer = enumeration->GetIntValue();
        readBack = true;
      }
    } else {
      known = false;
      if (dynamic_cast<GenApi::IEnumEntry*>(node) == nullptr) {
        Log(3, "CameraParameters::UpdateParameter: Skipped '%s' due unsupported type\n", name);
      }
    }
    const bool writable = known && GenApi::IsWritable(node->GetAccessMode());
    std::unique_lock<std::shared_mutex> guard(mGuard);
    Param_* found = Find(binding.name.c_str());
    if (found == nullptr || found->kind() != kind) return;
    Param_& parameter = *found;
    if (readBack) {
      switch (kind) {
        case Param_::Kind::Int64: {
          auto& p = static_cast<Param<int64_t>&>(parameter);
          p.min = integerMinimum;
          p.max = integerMaximum;
          p.value = binding.integer;
          break;
        }
        case Param_::Kind::Bool: static_cast<Param<bool>&>(parameter).value = binding.boolean; break;
        case Param_::Kind::Double: {
          auto& p = static_cast<Param<double>&>(parameter);
          p.min = minimum;
          p.max = maximum;
          p.value = binding.floating;
          break;
        }
        case Param_::Kind::String: static_cast<Param<std::string>&>(parameter).value = binding.text; break;
        case Param_::Kind::Enum: static_cast<ParamEnum&>(parameter).select_value(binding.integer); break;
        default: break;
      }
    }
    if (known) parameter.enabled = writable;
  } catch (const GenICam::AccessException& e) {
    Log(3, "CameraParameters::UpdateParameter: Skipped '%s' due access level: %s\n", name, e.what());
  } catch (const GenICam::GenericException& e) {
    Log(1, "CameraParameters::UpdateParameter: Skipped '%s' due to error: %s\n", name, e.what());
  } catch (const std::bad_cast& e) {
    Log(2, "CameraParameters::UpdateParameter: Parameter '%s' overflow: %s\n", node->GetName().c_str(), e.what());
  }
}

void CameraParameters::ApplyParameters(GenApi::INodeMap& nodeMap) {
  for (const std::string& name : Snapshot()) {
    NodeBinding binding;
    if (Bind(name, binding, true) && binding.enabled && !binding.global) ApplyBound(nodeMap, binding);
  }
  nodeMap.InvalidateNodes();
}

void CameraParameters::UpdateParameters(GenApi::INodeMap& nodeMap) {
  for (const std::string& name : Snapshot()) {
    NodeBinding binding;
    if (Bind(name, binding, false) && !binding.global) UpdateBound(nodeMap, binding);
  }
}
