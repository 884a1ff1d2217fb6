#pragma once
// The virtual camera's node map: generic typed nodes with bounds, increments, access modes and
// selectors. A feature that a selector selects keeps one value per selector value.
//
// Threads: every call locks the owning camera's lock (NodeContext::Lock), which the camera's
// frame producer holds too while it reads the geometry.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera_sdk/GenApi.h"

namespace Pylon {
namespace Virtual {

// What the nodes need of the camera they belong to.
class NodeContext {
 public:
  virtual ~NodeContext() = default;
  virtual std::recursive_mutex& Lock() const = 0;
  // Raises the SDK exception a test asked for: the device is unplugged, or this node fails.
  virtual void CheckNode(const std::string& name) const = 0;
  // Raises when the device is unplugged; a node's access mode is known without asking the device.
  virtual void CheckDevice() const = 0;
  // After a successful write, so that dependent features follow (PayloadSize, bounds).
  virtual void NodeWritten(const std::string& name) = 0;
};

class Node : public virtual GenApi::ISelector {
 public:
  Node(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access);
  GenICam::gcstring GetName(bool fullQualified = false) const override;
  GenICam::gcstring GetDescription() const override;
  GenApi::EAccessMode GetAccessMode() const override;
  bool IsSelector() const override { return !mSelected.empty(); }
  void GetSelectedFeatures(GenApi::FeatureList_t& features) const override;
  void GetSelectingFeatures(GenApi::FeatureList_t& features) const override;

  // `feature` becomes a feature this node selects; with `keyed`, it keeps a value per value of this node.
  void Selects(Node& feature, bool keyed = true);
  void SetAccess(GenApi::EAccessMode access) { mAccess = access; }
  const std::string& Name() const { return mName; }
  // The value that picks a keyed feature's slot.
  virtual int64_t SelectorKey() const { return 0; }

 protected:
  void CheckReadable() const;
  void CheckWritable() const;
  int64_t Slot() const { return mKey != nullptr ? mKey->SelectorKey() : 0; }
  std::unique_lock<std::recursive_mutex> Guard() const { return std::unique_lock<std::recursive_mutex>(mContext.Lock()); }

  NodeContext& mContext;
  std::string mName;
  std::string mDescription;
  GenApi::EAccessMode mAccess;
  Node* mKey = nullptr;
  std::vector<Node*> mSelected;
  std::vector<Node*> mSelecting;
};

template <typename T>
class Slots {
 public:
  explicit Slots(T initial) : mInitial(initial) {}
  T Get(int64_t slot) const {
    const auto found = mValues.find(slot);
    return found != mValues.end() ? found->second : mInitial;
  }
  void Set(int64_t slot, T value) { mValues[slot] = value; }

 private:
  T mInitial;
  std::map<int64_t, T> mValues;
};

class IntegerNode : public Node, public GenApi::IInteger {
 public:
  IntegerNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
              int64_t value, int64_t min, int64_t max, int64_t inc = 1,
              GenApi::ERepresentation representation = GenApi::Linear);
  int64_t GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(int64_t value, bool verify = true) override;
  int64_t GetMin() override;
  int64_t GetMax() override;
  int64_t GetInc() override;
  GenApi::ERepresentation GetRepresentation() override { return mRepresentation; }
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
  int64_t SelectorKey() const override { return mValues.Get(0); }

  // Computed bounds or value (PayloadSize, a maximum that follows another feature).
  std::function<int64_t()> computedValue, computedMin, computedMax;
  // Stores without the checks: for the camera itself (a status it reports).
  void Store(int64_t value) { mValues.Set(Slot(), value); }

 private:
  Slots<int64_t> mValues;
  int64_t mMin, mMax, mInc;
  GenApi::ERepresentation mRepresentation;
};

class FloatNode : public Node, public GenApi::IFloat {
 public:
  FloatNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
            double value, double min, double max, std::string unit = "");
  double GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(double value, bool verify = true) override;
  double GetMin() override;
  double GetMax() override;
  GenICam::gcstring GetUnit() const override { return mUnit; }
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;

 private:
  Slots<double> mValues;
  double mMin, mMax;
  std::string mUnit;
};

class BooleanNode : public Node, public GenApi::IBoolean {
 public:
  BooleanNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
              bool value);
  bool GetValue(bool verify = false, bool ignoreCache = false) const override;
  void SetValue(bool value, bool verify = true) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;

 private:
  Slots<bool> mValues;
};

class StringNode : public Node, public GenApi::IString {
 public:
  StringNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
             std::string value, std::size_t maxLength = 64);
  GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override { return GetValue(); }
  void FromString(const GenICam::gcstring& value, bool verify = true) override { SetValue(value, verify); }

 private:
  Slots<std::string> mValues;
  std::size_t mMaxLength;
};

class CommandNode : public Node, public GenApi::ICommand {
 public:
  CommandNode(NodeContext& context, std::string name, std::string description, std::function<void()> action);
  void Execute(bool verify = true) override;
  bool IsDone(bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;

 private:
  std::function<void()> mAction;
};

class EnumEntryNode : public Node, public GenApi::IEnumEntry {
 public:
  EnumEntryNode(NodeContext& context, std::string enumeration, std::string symbolic, int64_t value,
                GenApi::EAccessMode access);
  int64_t GetValue() override { return mValue; }
  GenICam::gcstring GetSymbolic() const override { return mSymbolic; }
  GenICam::gcstring ToString(bool, bool) override { return mSymbolic; }
  void FromString(const GenICam::gcstring&, bool) override;

 private:
  std::string mSymbolic;
  int64_t mValue;
};

class EnumerationNode : public Node, public GenApi::IEnumeration {
 public:
  EnumerationNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access);
  EnumEntryNode& AddEntry(const std::string& symbolic, int64_t value, GenApi::EAccessMode access = GenApi::RO);
  void GetEntries(GenApi::NodeList_t& entries) override;
  int64_t GetIntValue(bool verify = false, bool ignoreCache = false) override;
  void SetIntValue(int64_t value, bool verify = true) override;
  GenApi::IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) override;
  GenApi::IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
  int64_t SelectorKey() const override;

 private:
  EnumEntryNode* EntryOfValue(int64_t value) const;

  std::vector<std::unique_ptr<EnumEntryNode>> mEntries;
  Slots<int64_t> mValues{0};
  bool mHasValue = false;
};

class CategoryNode : public Node, public GenApi::ICategory {
 public:
  CategoryNode(NodeContext& context, std::string name, std::string description);
  void Add(GenApi::IValue& feature) { mFeatures.push_back(&feature); }
  void GetFeatures(GenApi::FeatureList_t& features) const override;
  GenICam::gcstring ToString(bool, bool) override;
  void FromString(const GenICam::gcstring&, bool) override;

 private:
  GenApi::FeatureList_t mFeatures;
};

class RegisterNode : public Node, public GenApi::IRegister {
 public:
  RegisterNode(NodeContext& context, std::string name, std::string description, GenApi::EAccessMode access,
               std::size_t length);
  int64_t GetLength() override { return static_cast<int64_t>(mBytes.size()); }
  void Get(uint8_t* buffer, int64_t length, bool verify = false, bool ignoreCache = false) override;
  void Set(const uint8_t* buffer, int64_t length, bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override;
  void FromString(const GenICam::gcstring&, bool) override;

 private:
  std::vector<uint8_t> mBytes;
};

class NodeMap : public GenApi::INodeMap {
 public:
  template <typename T, typename... Args>
  T& Add(Args&&... args) {
    auto node = std::make_unique<T>(std::forward<Args>(args)...);
    T& added = *node;
    mIndex[node->Name()] = node.get();
    mNodes.push_back(std::move(node));
    return added;
  }
  void Index(Node& node) { mIndex[node.Name()] = &node; }  // entries owned by their enumeration
  GenApi::INode* GetNode(const GenICam::gcstring& name) const override;
  void GetNodes(GenApi::NodeList_t& nodes) const override;
  void InvalidateNodes() const override { ++mInvalidations; }
  int Invalidations() const { return mInvalidations; }

 private:
  std::vector<std::unique_ptr<Node>> mNodes;
  std::map<std::string, Node*> mIndex;
  mutable std::atomic<int> mInvalidations{0};
};

}  // namespace Virtual
}  // namespace Pylon
