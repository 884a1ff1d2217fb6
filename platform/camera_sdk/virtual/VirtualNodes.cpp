#include "VirtualNodes.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace Pylon {
namespace Virtual {

namespace {

std::string Text(const char* what, const std::string& name) { return std::string(what) + " (node '" + name + "')"; }

}  // namespace

// ---- Node ----

Node::Node(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access)
    : mContext(context), mName(std::move(name)), mDescription(std::move(description)), mAccess(access) {}

GenICam::gcstring Node::GetName(bool) const { return mName; }
GenICam::gcstring Node::GetDescription() const { return mDescription; }

GenApi::EAccessMode Node::GetAccessMode() const {
  auto guard = Guard();
  mContext.CheckDevice();
  return mAccess;
}

void Node::GetSelectedFeatures(GenApi::FeatureList_t& features) const {
  features.clear();
  for (Node* node : mSelected) features.push_back(dynamic_cast<GenApi::IValue*>(node));
}

void Node::GetSelectingFeatures(GenApi::FeatureList_t& features) const {
  features.clear();
  for (Node* node : mSelecting) features.push_back(dynamic_cast<GenApi::IValue*>(node));
}

void Node::Selects(Node& feature, bool keyed) {
  mSelected.push_back(&feature);
  feature.mSelecting.push_back(this);
  if (keyed) feature.mKey = this;
}

void Node::CheckReadable() const {
  mContext.CheckNode(mName);
  if (!GenApi::IsReadable(mAccess)) throw GenICam::AccessException(Text("Node is not readable", mName));
}

void Node::CheckWritable() const {
  mContext.CheckNode(mName);
  if (!GenApi::IsWritable(mAccess)) throw GenICam::AccessException(Text("Node is not writable", mName));
}

// ---- IntegerNode ----

IntegerNode::IntegerNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
                         int64_t value, int64_t min, int64_t max, int64_t inc, GenApi::ERepresentation representation)
    : Node(context, std::move(name), std::move(description), access),
      mValues(value),
      mMin(min),
      mMax(max),
      mInc(inc),
      mRepresentation(representation) {}

int64_t IntegerNode::GetValue(bool, bool) {
  auto guard = Guard();
  CheckReadable();
  return computedValue ? computedValue() : mValues.Get(Slot());
}

int64_t IntegerNode::GetMin() {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return computedMin ? computedMin() : mMin;
}

int64_t IntegerNode::GetMax() {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return computedMax ? computedMax() : mMax;
}

int64_t IntegerNode::GetInc() {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return mInc;
}

void IntegerNode::SetValue(int64_t value, bool) {
  auto guard = Guard();
  CheckWritable();
  const int64_t min = GetMin();
  const int64_t max = GetMax();
  if (value < min || value > max) {
    throw GenICam::OutOfRangeException(Text(("Value " + std::to_string(value) + " must be within " +
                                             std::to_string(min) + ".." + std::to_string(max))
                                                .c_str(),
                                            mName));
  }
  if (mInc > 1 && (value - min) % mInc != 0) {
    throw GenICam::OutOfRangeException(
        Text(("Value " + std::to_string(value) + " must be a multiple of " + std::to_string(mInc)).c_str(), mName));
  }
  mValues.Set(Slot(), value);
  mContext.NodeWritten(mName);
}

GenICam::gcstring IntegerNode::ToString(bool, bool) {
  const int64_t value = GetValue();
  if (mRepresentation == GenApi::HexNumber) {
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << value;
    return out.str();
  }
  return std::to_string(value);
}

void IntegerNode::FromString(const GenICam::gcstring& value, bool verify) {
  SetValue(std::strtoll(value.c_str(), nullptr, 0), verify);
}

// ---- FloatNode ----

FloatNode::FloatNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
                     double value, double min, double max, std::string unit)
    : Node(context, std::move(name), std::move(description), access),
      mValues(value),
      mMin(min),
      mMax(max),
      mUnit(std::move(unit)) {}

double FloatNode::GetValue(bool, bool) {
  auto guard = Guard();
  CheckReadable();
  return mValues.Get(Slot());
}

double FloatNode::GetMin() {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return mMin;
}

double FloatNode::GetMax() {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return mMax;
}

void FloatNode::SetValue(double value, bool) {
  auto guard = Guard();
  CheckWritable();
  if (!(value >= mMin && value <= mMax)) {
    std::ostringstream text;
    text << "Value " << value << " must be within " << mMin << ".." << mMax;
    throw GenICam::OutOfRangeException(Text(text.str().c_str(), mName));
  }
  mValues.Set(Slot(), value);
  mContext.NodeWritten(mName);
}

GenICam::gcstring FloatNode::ToString(bool, bool) {
  std::ostringstream out;
  out << GetValue();
  return out.str();
}

void FloatNode::FromString(const GenICam::gcstring& value, bool verify) { SetValue(std::atof(value.c_str()), verify); }

// ---- BooleanNode ----

BooleanNode::BooleanNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
                         bool value)
    : Node(context, std::move(name), std::move(description), access), mValues(value) {}

bool BooleanNode::GetValue(bool, bool) const {
  auto guard = Guard();
  CheckReadable();
  return mValues.Get(Slot());
}

void BooleanNode::SetValue(bool value, bool) {
  auto guard = Guard();
  CheckWritable();
  mValues.Set(Slot(), value);
  mContext.NodeWritten(mName);
}

GenICam::gcstring BooleanNode::ToString(bool, bool) { return GetValue() ? "1" : "0"; }

void BooleanNode::FromString(const GenICam::gcstring& value, bool verify) {
  SetValue(std::strcmp(value.c_str(), "1") == 0 || std::strcmp(value.c_str(), "true") == 0, verify);
}

// ---- StringNode ----

StringNode::StringNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
                       std::string value, std::size_t maxLength)
    : Node(context, std::move(name), std::move(description), access), mValues(std::move(value)), mMaxLength(maxLength) {}

GenICam::gcstring StringNode::GetValue(bool, bool) {
  auto guard = Guard();
  CheckReadable();
  return mValues.Get(Slot());
}

void StringNode::SetValue(const GenICam::gcstring& value, bool) {
  auto guard = Guard();
  CheckWritable();
  if (value.length() > mMaxLength) {
    throw GenICam::OutOfRangeException(Text(("Text longer than " + std::to_string(mMaxLength)).c_str(), mName));
  }
  mValues.Set(Slot(), value.c_str());
  mContext.NodeWritten(mName);
}

// ---- CommandNode ----

CommandNode::CommandNode(NodeContext& context, std::string name, std::string description, std::function<void()> action)
    : Node(context, std::move(name), std::move(description), GenApi::WO), mAction(std::move(action)) {}

void CommandNode::Execute(bool) {
  auto guard = Guard();
  CheckWritable();
  if (mAction) mAction();
}

bool CommandNode::IsDone(bool) {
  auto guard = Guard();
  mContext.CheckNode(mName);
  return true;
}

GenICam::gcstring CommandNode::ToString(bool, bool) { throw GenICam::AccessException(Text("Command has no value", mName)); }

void CommandNode::FromString(const GenICam::gcstring&, bool) { Execute(); }

// ---- EnumEntryNode ----

EnumEntryNode::EnumEntryNode(NodeContext& context, std::string enumeration, std::string symbolic, int64_t value,
                             GenApi::EAccessMode access)
    : Node(context, "EnumEntry_" + enumeration + "_" + symbolic, "", access), mSymbolic(std::move(symbolic)),
      mValue(value) {}

void EnumEntryNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text("Entry is not writable", mName));
}

// ---- EnumerationNode ----

EnumerationNode::EnumerationNode(NodeContext& context, std::string name, std::string description,
                                 GenApi::EAccessMode access)
    : Node(context, std::move(name), std::move(description), access) {}

EnumEntryNode& EnumerationNode::AddEntry(const std::string& symbolic, int64_t value, GenApi::EAccessMode access) {
  mEntries.push_back(std::make_unique<EnumEntryNode>(mContext, mName, symbolic, value, access));
  if (!mHasValue && GenApi::IsReadable(access)) {
    mValues = Slots<int64_t>(value);  // the first available entry is the initial value
    mHasValue = true;
  }
  return *mEntries.back();
}

void EnumerationNode::GetEntries(GenApi::NodeList_t& entries) {
  auto guard = Guard();
  mContext.CheckNode(mName);
  entries.clear();
  for (const auto& entry : mEntries) entries.push_back(entry.get());
}

EnumEntryNode* EnumerationNode::EntryOfValue(int64_t value) const {
  for (const auto& entry : mEntries) {
    if (entry->GetValue() == value) return entry.get();
  }
  return nullptr;
}

int64_t EnumerationNode::GetIntValue(bool, bool) {
  auto guard = Guard();
  CheckReadable();
  return mValues.Get(Slot());
}

int64_t EnumerationNode::SelectorKey() const { return mValues.Get(Slot()); }

void EnumerationNode::SetIntValue(int64_t value, bool) {
  auto guard = Guard();
  CheckWritable();
  EnumEntryNode* entry = EntryOfValue(value);
  if (entry == nullptr) {
    throw GenICam::OutOfRangeException(Text(("No entry of value " + std::to_string(value)).c_str(), mName));
  }
  if (!GenApi::IsReadable(entry->GetAccessMode())) {
    throw GenICam::AccessException(Text(("Entry " + std::string(entry->GetSymbolic().c_str()) + " is not available").c_str(), mName));
  }
  mValues.Set(Slot(), value);
  mContext.NodeWritten(mName);
}

GenApi::IEnumEntry* EnumerationNode::GetEntryByName(const GenICam::gcstring& symbolic) {
  auto guard = Guard();
  for (const auto& entry : mEntries) {
    if (entry->GetSymbolic() == symbolic) return entry.get();
  }
  return nullptr;
}

GenApi::IEnumEntry* EnumerationNode::GetCurrentEntry(bool, bool) {
  auto guard = Guard();
  return EntryOfValue(GetIntValue());
}

GenICam::gcstring EnumerationNode::ToString(bool, bool) {
  auto guard = Guard();
  EnumEntryNode* entry = EntryOfValue(GetIntValue());
  return entry != nullptr ? entry->GetSymbolic() : GenICam::gcstring();
}

void EnumerationNode::FromString(const GenICam::gcstring& value, bool verify) {
  auto guard = Guard();
  GenApi::IEnumEntry* entry = GetEntryByName(value);
  if (entry == nullptr) throw GenICam::InvalidArgumentException(Text(("No entry " + std::string(value.c_str())).c_str(), mName));
  SetIntValue(entry->GetValue(), verify);
}

// ---- CategoryNode ----

CategoryNode::CategoryNode(NodeContext& context, std::string name, std::string description)
    : Node(context, std::move(name), std::move(description), GenApi::RO) {}

void CategoryNode::GetFeatures(GenApi::FeatureList_t& features) const {
  auto guard = Guard();
  mContext.CheckNode(mName);
  features = mFeatures;
}

GenICam::gcstring CategoryNode::ToString(bool, bool) { return ""; }

void CategoryNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text("Category is not writable", mName));
}

// ---- RegisterNode ----

RegisterNode::RegisterNode(NodeContext& context, std::string name, std::string description,
                           GenApi::EAccessMode access, std::size_t length)
    : Node(context, std::move(name), std::move(description), access), mBytes(length, 0) {}

void RegisterNode::Get(uint8_t* buffer, int64_t length, bool, bool) {
  auto guard = Guard();
  CheckReadable();
  if (buffer == nullptr || length < 0 || length > GetLength()) throw GenICam::InvalidArgumentException(Text("Bad length", mName));
  std::memcpy(buffer, mBytes.data(), static_cast<std::size_t>(length));
}

void RegisterNode::Set(const uint8_t* buffer, int64_t length, bool) {
  auto guard = Guard();
  CheckWritable();
  if (buffer == nullptr || length < 0 || length > GetLength()) throw GenICam::InvalidArgumentException(Text("Bad length", mName));
  std::memcpy(mBytes.data(), buffer, static_cast<std::size_t>(length));
  mContext.NodeWritten(mName);
}

GenICam::gcstring RegisterNode::ToString(bool, bool) { return std::to_string(mBytes.size()) + " bytes"; }

void RegisterNode::FromString(const GenICam::gcstring&, bool) {
  throw GenICam::AccessException(Text("Register is not writable as text", mName));
}

// ---- NodeMap ----

GenApi::INode* NodeMap::GetNode(const GenICam::gcstring& name) const {
  const auto found = mIndex.find(name.c_str());
  return found != mIndex.end() ? found->second : nullptr;
}

void NodeMap::GetNodes(GenApi::NodeList_t& nodes) const {
  nodes.clear();
  for (const auto& node : mNodes) nodes.push_back(node.get());
}

}  // namespace Virtual
}  // namespace Pylon
