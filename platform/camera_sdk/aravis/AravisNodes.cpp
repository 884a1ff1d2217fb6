#include "AravisNodes.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <thread>

namespace Pylon {
namespace Aravis {

namespace {

std::string Text(const std::string& where, const char* what) { return where + ": " + what; }

// GenICam's element names for the kinds of feature the driver knows.
enum class Kind { Integer, Float, Boolean, String, Command, Enumeration, Category, Register, None };

Kind KindOf(const char* element) {
  static const struct {
    const char* element;
    Kind kind;
  } kinds[] = {{"Integer", Kind::Integer},         {"IntReg", Kind::Integer},       {"MaskedIntReg", Kind::Integer},
               {"IntConverter", Kind::Integer},    {"IntSwissKnife", Kind::Integer}, {"StructEntry", Kind::Integer},
               {"Float", Kind::Float},             {"FloatReg", Kind::Float},       {"Converter", Kind::Float},
               {"SwissKnife", Kind::Float},        {"Boolean", Kind::Boolean},      {"String", Kind::String},
               {"StringReg", Kind::String},        {"Command", Kind::Command},      {"Enumeration", Kind::Enumeration},
               {"Category", Kind::Category},       {"Register", Kind::Register}};
  for (const auto& entry : kinds) {
    if (std::strcmp(entry.element, element) == 0) return entry.kind;
  }
  return Kind::None;
}

// A bound or increment that the description leaves out: GenICam's default holds.
bool Undefined(GError*& error) {
  const bool undefined = error->domain == ARV_GC_ERROR && (error->code == ARV_GC_ERROR_PROPERTY_NOT_DEFINED ||
                                                           error->code == ARV_GC_ERROR_NODE_NOT_FOUND ||
                                                           error->code == ARV_GC_ERROR_PVALUE_NOT_DEFINED);
  if (undefined) g_clear_error(&error);
  return undefined;
}

// One of a number's bounds or its increment, with GenICam's default where the description leaves
// it out.
template <typename T, typename Ask>
T Bound(const std::string& name, T fallback, Ask ask) {
  GError* error = nullptr;
  const T value = ask(&error);
  if (error != nullptr && Undefined(error)) return fallback;
  if (error != nullptr) Raise(error, name);
  return value;
}

}  // namespace

void DeviceLink::RaiseRemoved() const { throw GenICam::RuntimeException(mName + ": the device dropped off the network"); }

std::unique_lock<std::recursive_timed_mutex> DeviceLink::Enter() const {
  std::unique_lock<std::recursive_timed_mutex> turn(mTurn, std::defer_lock);
  while (!turn.try_lock_for(std::chrono::milliseconds(50))) {
    if (IsRemoved()) RaiseRemoved();
  }
  if (IsRemoved()) RaiseRemoved();
  return turn;
}

int64_t ParseInteger(const std::string& feature, const char* text) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, 0);
  if (end == text || *end != '\0' || errno == ERANGE) {
    throw GenICam::InvalidArgumentException(feature + ": '" + text + "' is not an integer");
  }
  return parsed;
}

void Release(gpointer object, bool deviceRemoved) {
  if (deviceRemoved) {
    std::thread([object] { g_object_unref(object); }).detach();
  } else {
    g_object_unref(object);
  }
}

void Raise(GError* error, const std::string& where) {
  const std::string description = Text(where, error != nullptr ? error->message : "failed");
  const GQuark domain = error != nullptr ? error->domain : 0;
  const int code = error != nullptr ? error->code : -1;
  g_clear_error(&error);
  if (domain == ARV_GC_ERROR) {
    switch (code) {
      case ARV_GC_ERROR_OUT_OF_RANGE:
        throw GenICam::OutOfRangeException(description);
      case ARV_GC_ERROR_READ_ONLY:
        throw GenICam::AccessException(description);
      case ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND:
      case ARV_GC_ERROR_INVALID_LENGTH:
      case ARV_GC_ERROR_SET_FROM_STRING_UNDEFINED:
      case ARV_GC_ERROR_GET_AS_STRING_UNDEFINED:
      case ARV_GC_ERROR_INVALID_BIT_RANGE:
      case ARV_GC_ERROR_INVALID_SYNTAX:
        throw GenICam::InvalidArgumentException(description);
      default:
        throw GenICam::LogicalErrorException(description);
    }
  }
  if (domain == ARV_DEVICE_ERROR) {
    switch (code) {
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_ACCESS_DENIED:
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_WRITE_PROTECT:
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_INVALID_ADDRESS:
      case ARV_DEVICE_ERROR_NOT_CONTROLLER:
        throw GenICam::AccessException(description);
      case ARV_DEVICE_ERROR_PROTOCOL_ERROR_INVALID_PARAMETER:
      case ARV_DEVICE_ERROR_INVALID_PARAMETER:
        throw GenICam::InvalidArgumentException(description);
      case ARV_DEVICE_ERROR_WRONG_FEATURE:
      case ARV_DEVICE_ERROR_FEATURE_NOT_FOUND:
        throw GenICam::LogicalErrorException(description);
      default:
        break;
    }
  }
  throw GenICam::RuntimeException(description);
}

// ---- Node ----

Node::Node(NodeMap& map, ArvGcFeatureNode* node, std::string name) : mMap(map), mNode(node), mName(std::move(name)) {}

GenICam::gcstring Node::GetName(bool) const { return mName; }

GenICam::gcstring Node::GetDescription() const {
  const char* description = arv_gc_feature_node_get_description(mNode);
  if (description == nullptr) description = arv_gc_feature_node_get_tooltip(mNode);
  return description;
}

GenApi::EAccessMode Node::AccessMode() const {
  GError* error = nullptr;
  const gboolean implemented = arv_gc_feature_node_is_implemented(mNode, &error);
  if (error != nullptr) {
    g_clear_error(&error);
    return GenApi::NA;
  }
  if (!implemented) return GenApi::NI;
  const gboolean available = arv_gc_feature_node_is_available(mNode, &error);
  if (error != nullptr || !available) {
    g_clear_error(&error);
    return GenApi::NA;
  }
  const gboolean locked = arv_gc_feature_node_is_locked(mNode, &error);
  g_clear_error(&error);
  switch (arv_gc_feature_node_get_actual_access_mode(mNode)) {
    case ARV_GC_ACCESS_MODE_WO:
      return locked ? GenApi::NA : GenApi::WO;
    case ARV_GC_ACCESS_MODE_RW:
      return locked ? GenApi::RO : GenApi::RW;
    default:
      return GenApi::RO;
  }
}

GenApi::EAccessMode Node::GetAccessMode() const {
  // A vanished device is not asked; its features are simply not available any more.
  if (mMap.Link().IsRemoved()) return GenApi::NA;
  try {
    auto turn = mMap.Link().Enter();
    return AccessMode();
  } catch (const GenICam::GenericException&) {
    return GenApi::NA;
  }
}

std::unique_lock<std::recursive_timed_mutex> Node::EnterToRead() const {
  auto turn = mMap.Link().Enter();
  if (!GenApi::IsReadable(AccessMode())) throw GenICam::AccessException(Text(mName, "the feature is not readable now"));
  return turn;
}

std::unique_lock<std::recursive_timed_mutex> Node::EnterToWrite() const {
  auto turn = mMap.Link().Enter();
  if (!GenApi::IsWritable(AccessMode())) throw GenICam::AccessException(Text(mName, "the feature is not writable now"));
  return turn;
}

// ---- IntegerNode ----

int64_t IntegerNode::GetValue(bool, bool) {
  auto turn = EnterToRead();
  GError* error = nullptr;
  const int64_t value = arv_gc_integer_get_value(ARV_GC_INTEGER(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value;
}

void IntegerNode::SetValue(int64_t value, bool) {
  auto turn = EnterToWrite();
  // Aravis checks the bounds (its range check is on); the increment is checked here.
  const int64_t inc = GetInc();
  if (inc > 1) {
    const int64_t min = GetMin();
    if ((value - min) % inc != 0) {
      throw GenICam::OutOfRangeException(mName + ": " + std::to_string(value) + " is not on the increment " +
                                         std::to_string(inc) + " from " + std::to_string(min));
    }
  }
  GError* error = nullptr;
  arv_gc_integer_set_value(ARV_GC_INTEGER(mNode), value, &error);
  if (error != nullptr) Raise(error, mName);
}

int64_t IntegerNode::GetMin() {
  auto turn = mMap.Link().Enter();
  return Bound(mName, std::numeric_limits<int64_t>::min(),
               [this](GError** error) { return arv_gc_integer_get_min(ARV_GC_INTEGER(mNode), error); });
}

int64_t IntegerNode::GetMax() {
  auto turn = mMap.Link().Enter();
  return Bound(mName, std::numeric_limits<int64_t>::max(),
               [this](GError** error) { return arv_gc_integer_get_max(ARV_GC_INTEGER(mNode), error); });
}

int64_t IntegerNode::GetInc() {
  auto turn = mMap.Link().Enter();
  const int64_t inc =
      Bound(mName, int64_t{1}, [this](GError** error) { return arv_gc_integer_get_inc(ARV_GC_INTEGER(mNode), error); });
  return inc > 0 ? inc : 1;
}

GenApi::ERepresentation IntegerNode::GetRepresentation() {
  switch (arv_gc_integer_get_representation(ARV_GC_INTEGER(mNode))) {
    case ARV_GC_REPRESENTATION_LOGARITHMIC:
      return GenApi::Logarithmic;
    case ARV_GC_REPRESENTATION_BOOLEAN:
      return GenApi::Boolean;
    case ARV_GC_REPRESENTATION_PURE_NUMBER:
      return GenApi::PureNumber;
    case ARV_GC_REPRESENTATION_HEX_NUMBER:
      return GenApi::HexNumber;
    case ARV_GC_REPRESENTATION_IPV4_ADDRESS:
      return GenApi::IPV4Address;
    case ARV_GC_REPRESENTATION_MAC_ADDRESS:
      return GenApi::MACAddress;
    default:
      return GenApi::Linear;
  }
}

GenICam::gcstring IntegerNode::ToString(bool, bool) {
  const int64_t value = GetValue();
  if (GetRepresentation() == GenApi::HexNumber) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%" PRIX64, static_cast<uint64_t>(value));
    return text;
  }
  return std::to_string(value);
}

void IntegerNode::FromString(const GenICam::gcstring& value, bool verify) {
  SetValue(ParseInteger(mName, value.c_str()), verify);
}

// ---- FloatNode ----

double FloatNode::GetValue(bool, bool) {
  auto turn = EnterToRead();
  GError* error = nullptr;
  const double value = arv_gc_float_get_value(ARV_GC_FLOAT(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value;
}

void FloatNode::SetValue(double value, bool) {
  auto turn = EnterToWrite();
  GError* error = nullptr;
  arv_gc_float_set_value(ARV_GC_FLOAT(mNode), value, &error);
  if (error != nullptr) Raise(error, mName);
}

double FloatNode::GetMin() {
  auto turn = mMap.Link().Enter();
  return Bound(mName, -std::numeric_limits<double>::max(),
               [this](GError** error) { return arv_gc_float_get_min(ARV_GC_FLOAT(mNode), error); });
}

double FloatNode::GetMax() {
  auto turn = mMap.Link().Enter();
  return Bound(mName, std::numeric_limits<double>::max(),
               [this](GError** error) { return arv_gc_float_get_max(ARV_GC_FLOAT(mNode), error); });
}

GenICam::gcstring FloatNode::GetUnit() const { return arv_gc_float_get_unit(ARV_GC_FLOAT(mNode)); }

GenICam::gcstring FloatNode::ToString(bool, bool) {
  std::ostringstream out;
  out << GetValue();
  return out.str();
}

void FloatNode::FromString(const GenICam::gcstring& value, bool verify) {
  char* end = nullptr;
  const double parsed = std::strtod(value.c_str(), &end);
  if (end == value.c_str() || *end != '\0') {
    throw GenICam::InvalidArgumentException(mName + ": '" + value.c_str() + "' is not a number");
  }
  SetValue(parsed, verify);
}

// ---- BooleanNode ----

bool BooleanNode::GetValue(bool, bool) const {
  auto turn = EnterToRead();
  GError* error = nullptr;
  const gboolean value = arv_gc_boolean_get_value(ARV_GC_BOOLEAN(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value != FALSE;
}

void BooleanNode::SetValue(bool value, bool) {
  auto turn = EnterToWrite();
  GError* error = nullptr;
  arv_gc_boolean_set_value(ARV_GC_BOOLEAN(mNode), value ? TRUE : FALSE, &error);
  if (error != nullptr) Raise(error, mName);
}

GenICam::gcstring BooleanNode::ToString(bool, bool) { return GetValue() ? "1" : "0"; }

void BooleanNode::FromString(const GenICam::gcstring& value, bool verify) {
  const char* text = value.c_str();
  if (std::strcmp(text, "1") == 0 || g_ascii_strcasecmp(text, "true") == 0) {
    SetValue(true, verify);
  } else if (std::strcmp(text, "0") == 0 || g_ascii_strcasecmp(text, "false") == 0) {
    SetValue(false, verify);
  } else {
    throw GenICam::InvalidArgumentException(mName + ": '" + text + "' is neither true nor false");
  }
}

// ---- StringNode ----

GenICam::gcstring StringNode::GetValue(bool, bool) {
  auto turn = EnterToRead();
  GError* error = nullptr;
  const char* value = arv_gc_string_get_value(ARV_GC_STRING(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value;
}

void StringNode::SetValue(const GenICam::gcstring& value, bool) {
  auto turn = EnterToWrite();
  GError* error = nullptr;
  const gint64 maxLength = arv_gc_string_get_max_length(ARV_GC_STRING(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  if (maxLength > 0 && static_cast<gint64>(value.length()) > maxLength) {
    throw GenICam::OutOfRangeException(mName + ": the text is longer than " + std::to_string(maxLength) + " bytes");
  }
  arv_gc_string_set_value(ARV_GC_STRING(mNode), value.c_str(), &error);
  if (error != nullptr) Raise(error, mName);
}

// ---- CommandNode ----

void CommandNode::Execute(bool) {
  auto turn = EnterToWrite();
  GError* error = nullptr;
  arv_gc_command_execute(ARV_GC_COMMAND(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  if (mName == "AcquisitionStart") mMap.Link().NoteAcquisitionStart();
}

// Aravis waits for nothing after a command and offers no way to ask; a command has run once its
// write is acknowledged.
bool CommandNode::IsDone(bool) { return true; }

GenICam::gcstring CommandNode::ToString(bool, bool) { throw GenICam::AccessException(Text(mName, "a command has no value")); }

void CommandNode::FromString(const GenICam::gcstring&, bool) { Execute(); }

// ---- EnumEntryNode ----

EnumEntryNode::EnumEntryNode(NodeMap& map, ArvGcFeatureNode* node, const std::string& enumeration)
    : Node(map, node, "EnumEntry_" + enumeration + "_" + arv_gc_feature_node_get_name(node)),
      mSymbolic(arv_gc_feature_node_get_name(node)) {}

int64_t EnumEntryNode::GetValue() {
  auto turn = mMap.Link().Enter();
  GError* error = nullptr;
  const int64_t value = arv_gc_enum_entry_get_value(ARV_GC_ENUM_ENTRY(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value;
}

void EnumEntryNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text(mName, "an entry is not writable"));
}

// ---- EnumerationNode ----

EnumerationNode::EnumerationNode(NodeMap& map, ArvGcFeatureNode* node, std::string name)
    : Node(map, node, std::move(name)) {
  for (const GSList* item = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(node)); item != nullptr; item = item->next) {
    if (!ARV_IS_GC_ENUM_ENTRY(item->data)) continue;
    mEntries.push_back(std::make_unique<EnumEntryNode>(map, ARV_GC_FEATURE_NODE(item->data), mName));
    map.Index(*mEntries.back());
  }
}

void EnumerationNode::GetEntries(GenApi::NodeList_t& entries) {
  entries.clear();
  for (const auto& entry : mEntries) entries.push_back(entry.get());
}

int64_t EnumerationNode::GetIntValue(bool, bool) {
  auto turn = EnterToRead();
  GError* error = nullptr;
  const int64_t value = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return value;
}

void EnumerationNode::SetIntValue(int64_t value, bool) {
  auto turn = EnterToWrite();
  EnumEntryNode* chosen = nullptr;
  for (const auto& entry : mEntries) {
    if (entry->GetValue() == value) chosen = entry.get();
  }
  if (chosen == nullptr) throw GenICam::InvalidArgumentException(mName + ": no entry has the value " + std::to_string(value));
  if (!GenApi::IsAvailable(chosen->GetAccessMode())) {
    throw GenICam::AccessException(mName + ": the entry " + chosen->GetSymbolic().c_str() + " is not available");
  }
  GError* error = nullptr;
  arv_gc_enumeration_set_int_value(ARV_GC_ENUMERATION(mNode), value, &error);
  if (error != nullptr) Raise(error, mName);
}

GenApi::IEnumEntry* EnumerationNode::GetEntryByName(const GenICam::gcstring& symbolic) {
  for (const auto& entry : mEntries) {
    if (entry->GetSymbolic() == symbolic) return entry.get();
  }
  return nullptr;
}

GenApi::IEnumEntry* EnumerationNode::GetCurrentEntry(bool, bool) {
  const int64_t value = GetIntValue();
  for (const auto& entry : mEntries) {
    if (entry->GetValue() == value) return entry.get();
  }
  return nullptr;
}

GenICam::gcstring EnumerationNode::ToString(bool, bool) {
  GenApi::IEnumEntry* entry = GetCurrentEntry();
  return entry != nullptr ? entry->GetSymbolic() : GenICam::gcstring();
}

void EnumerationNode::FromString(const GenICam::gcstring& value, bool verify) {
  GenApi::IEnumEntry* entry = GetEntryByName(value);
  if (entry == nullptr) throw GenICam::InvalidArgumentException(mName + ": no entry is named '" + value.c_str() + "'");
  SetIntValue(entry->GetValue(), verify);
}

// ---- CategoryNode ----

void CategoryNode::GetFeatures(GenApi::FeatureList_t& features) const {
  features.clear();
  for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(mNode)); item != nullptr; item = item->next) {
    Node* feature = mMap.Find(static_cast<const char*>(item->data));
    if (auto* value = dynamic_cast<GenApi::IValue*>(feature)) features.push_back(value);
  }
}

void CategoryNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text(mName, "a category is not writable"));
}

// ---- RegisterNode ----

int64_t RegisterNode::GetLength() {
  auto turn = mMap.Link().Enter();
  GError* error = nullptr;
  const guint64 length = arv_gc_register_get_length(ARV_GC_REGISTER(mNode), &error);
  if (error != nullptr) Raise(error, mName);
  return static_cast<int64_t>(length);
}

void RegisterNode::Get(uint8_t* buffer, int64_t length, bool, bool) {
  if (buffer == nullptr || length < 0) throw GenICam::InvalidArgumentException(Text(mName, "no buffer to read into"));
  auto turn = EnterToRead();
  GError* error = nullptr;
  arv_gc_register_get(ARV_GC_REGISTER(mNode), buffer, static_cast<guint64>(length), &error);
  if (error != nullptr) Raise(error, mName);
}

void RegisterNode::Set(const uint8_t* buffer, int64_t length, bool) {
  if (buffer == nullptr || length < 0) throw GenICam::InvalidArgumentException(Text(mName, "no bytes to write"));
  auto turn = EnterToWrite();
  GError* error = nullptr;
  arv_gc_register_set(ARV_GC_REGISTER(mNode), buffer, static_cast<guint64>(length), &error);
  if (error != nullptr) Raise(error, mName);
}

GenICam::gcstring RegisterNode::ToString(bool, bool) {
  std::vector<uint8_t> bytes(static_cast<std::size_t>(GetLength()));
  Get(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::string text;
  char hex[3];
  for (uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", byte);
    text += hex;
  }
  return text;
}

void RegisterNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text(mName, "a register is written as bytes"));
}

// ---- NodeMap ----

NodeMap::NodeMap(std::shared_ptr<DeviceLink> link) : mLink(std::move(link)) {
  auto turn = mLink->Enter();
  ArvGc* genicam = arv_device_get_genicam(mLink->Device());
  if (genicam == nullptr) throw GenICam::RuntimeException(mLink->Name() + ": the device has no GenICam description");
  AddTree(ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(genicam))));
  LinkSelectors();
}

void NodeMap::AddTree(ArvDomNode* element) {
  for (ArvDomNode* child = arv_dom_node_get_first_child(element); child != nullptr;
       child = arv_dom_node_get_next_sibling(child)) {
    if (!ARV_IS_GC_FEATURE_NODE(child)) {
      // Groups hold features of their own.
      if (std::strcmp(arv_dom_node_get_node_name(child), "Group") == 0) AddTree(child);
      continue;
    }
    ArvGcFeatureNode* feature = ARV_GC_FEATURE_NODE(child);
    const char* name = arv_gc_feature_node_get_name(feature);
    if (name == nullptr || mIndex.count(name) != 0) continue;
    std::unique_ptr<Node> node;
    switch (KindOf(arv_dom_node_get_node_name(child))) {
      case Kind::Integer: node = std::make_unique<IntegerNode>(*this, feature, name); break;
      case Kind::Float: node = std::make_unique<FloatNode>(*this, feature, name); break;
      case Kind::Boolean: node = std::make_unique<BooleanNode>(*this, feature, name); break;
      case Kind::String: node = std::make_unique<StringNode>(*this, feature, name); break;
      case Kind::Command: node = std::make_unique<CommandNode>(*this, feature, name); break;
      case Kind::Enumeration: node = std::make_unique<EnumerationNode>(*this, feature, name); break;
      case Kind::Category: node = std::make_unique<CategoryNode>(*this, feature, name); break;
      case Kind::Register: node = std::make_unique<RegisterNode>(*this, feature, name); break;
      case Kind::None: continue;  // ports and the like: not features a host sets
    }
    Index(*node);
    mNodes.push_back(std::move(node));
  }
}

void NodeMap::LinkSelectors() {
  for (const auto& node : mNodes) {
    GObject* object = G_OBJECT(node->Feature());
    if (!ARV_IS_GC_SELECTOR(object) || !arv_gc_selector_is_selector(ARV_GC_SELECTOR(object))) continue;
    auto* selector = dynamic_cast<GenApi::IValue*>(node.get());
    for (const GSList* item = arv_gc_selector_get_selected_features(ARV_GC_SELECTOR(object)); item != nullptr;
         item = item->next) {
      if (!ARV_IS_GC_FEATURE_NODE(item->data)) continue;
      Node* selected = Find(arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(item->data)));
      auto* value = dynamic_cast<GenApi::IValue*>(selected);
      if (value == nullptr || selector == nullptr) continue;
      node->mSelected.push_back(value);
      selected->mSelecting.push_back(selector);
    }
  }
}

Node* NodeMap::Find(const std::string& name) const {
  const auto found = mIndex.find(name);
  return found != mIndex.end() ? found->second : nullptr;
}

GenApi::INode* NodeMap::GetNode(const GenICam::gcstring& name) const { return Find(name.c_str()); }

void NodeMap::GetNodes(GenApi::NodeList_t& nodes) const {
  nodes.clear();
  for (const auto& node : mNodes) nodes.push_back(node.get());
}

}  // namespace Aravis
}  // namespace Pylon
