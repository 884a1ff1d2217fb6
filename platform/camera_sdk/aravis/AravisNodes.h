#pragma once
// A GigE Vision device's node map over Aravis's GenICam tree: one typed node a feature, made when
// the device opens, with the kinds the GenICam element names (an IntReg is an integer, a Converter
// a float), access modes from implemented, available, locked and the access the tree gives, and
// the selectors' features both ways.
//
// Threads: any thread calls. Every call into Aravis takes the device's turn (DeviceLink::Enter):
// the tree keeps values in its nodes and is not safe for two threads at once. Once the device is
// removed nothing asks it any more; calls raise RuntimeException at once.

#include <arv.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "camera_sdk/GenApi.h"

namespace Pylon {
namespace Aravis {

class DeviceLink {
 public:
  DeviceLink(ArvDevice* device, std::string name) : mDevice(device), mName(std::move(name)) {}
  ArvDevice* Device() const { return mDevice; }
  const std::string& Name() const { return mName; }
  // The device's turn; raises RuntimeException when it is removed, also while waiting for a call
  // that hangs on the vanished device.
  std::unique_lock<std::recursive_timed_mutex> Enter() const;
  bool IsRemoved() const { return mRemoved.load(std::memory_order_acquire); }
  // True for the call that removed it.
  bool MarkRemoved() { return !mRemoved.exchange(true, std::memory_order_acq_rel); }
  // AcquisitionStart ran: the stream grabber counts block IDs afresh.
  void NoteAcquisitionStart() { mStarts.fetch_add(1, std::memory_order_release); }
  unsigned Starts() const { return mStarts.load(std::memory_order_acquire); }
  [[noreturn]] void RaiseRemoved() const;

 private:
  ArvDevice* mDevice;
  std::string mName;
  mutable std::recursive_timed_mutex mTurn;
  std::atomic<bool> mRemoved{false};
  std::atomic<unsigned> mStarts{0};
};

// Raises the SDK exception for an Aravis error (and frees it): out of range, access, invalid
// argument, or a runtime failure of the device.
[[noreturn]] void Raise(GError* error, const std::string& where);

// An integer in a feature's text (decimal, or hex with 0x); InvalidArgumentException otherwise.
int64_t ParseInteger(const std::string& feature, const char* text);

// Lets go of a stream or device. A vanished device answers nothing, and Aravis's release still
// writes to it and waits out every retry: the objects of a removed device go on a thread of their own.
void Release(gpointer object, bool deviceRemoved);

class NodeMap;

class Node : public virtual GenApi::ISelector {
 public:
  Node(NodeMap& map, ArvGcFeatureNode* node, std::string name);
  GenICam::gcstring GetName(bool fullQualified = false) const override;
  GenICam::gcstring GetDescription() const override;
  GenApi::EAccessMode GetAccessMode() const override;
  bool IsSelector() const override { return !mSelected.empty(); }
  void GetSelectedFeatures(GenApi::FeatureList_t& features) const override { features = mSelected; }
  void GetSelectingFeatures(GenApi::FeatureList_t& features) const override { features = mSelecting; }

  const std::string& Name() const { return mName; }
  ArvGcFeatureNode* Feature() const { return mNode; }
  GenApi::FeatureList_t mSelected, mSelecting;  // filled in by the map once every node exists

 protected:
  // The device's turn with the access checked; raises AccessException when the node does not allow it.
  std::unique_lock<std::recursive_timed_mutex> EnterToRead() const;
  std::unique_lock<std::recursive_timed_mutex> EnterToWrite() const;
  GenApi::EAccessMode AccessMode() const;  // with the turn held
  std::string Where() const { return mName; }

  NodeMap& mMap;
  ArvGcFeatureNode* mNode;
  std::string mName;
};

class IntegerNode : public Node, public GenApi::IInteger {
 public:
  using Node::Node;
  int64_t GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(int64_t value, bool verify = true) override;
  int64_t GetMin() override;
  int64_t GetMax() override;
  int64_t GetInc() override;
  GenApi::ERepresentation GetRepresentation() override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
};

class FloatNode : public Node, public GenApi::IFloat {
 public:
  using Node::Node;
  double GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(double value, bool verify = true) override;
  double GetMin() override;
  double GetMax() override;
  GenICam::gcstring GetUnit() const override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
};

class BooleanNode : public Node, public GenApi::IBoolean {
 public:
  using Node::Node;
  bool GetValue(bool verify = false, bool ignoreCache = false) const override;
  void SetValue(bool value, bool verify = true) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
};

class StringNode : public Node, public GenApi::IString {
 public:
  using Node::Node;
  GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override { return GetValue(); }
  void FromString(const GenICam::gcstring& value, bool verify = true) override { SetValue(value, verify); }
};

class CommandNode : public Node, public GenApi::ICommand {
 public:
  using Node::Node;
  void Execute(bool verify = true) override;
  bool IsDone(bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;
};

class EnumEntryNode : public Node, public GenApi::IEnumEntry {
 public:
  EnumEntryNode(NodeMap& map, ArvGcFeatureNode* node, const std::string& enumeration);
  int64_t GetValue() override;
  GenICam::gcstring GetSymbolic() const override { return mSymbolic; }
  GenICam::gcstring ToString(bool, bool) override { return mSymbolic; }
  void FromString(const GenICam::gcstring&, bool) override;

 private:
  std::string mSymbolic;
};

class EnumerationNode : public Node, public GenApi::IEnumeration {
 public:
  EnumerationNode(NodeMap& map, ArvGcFeatureNode* node, std::string name);
  void GetEntries(GenApi::NodeList_t& entries) override;
  int64_t GetIntValue(bool verify = false, bool ignoreCache = false) override;
  void SetIntValue(int64_t value, bool verify = true) override;
  GenApi::IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) override;
  GenApi::IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) override;
  GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenICam::gcstring& value, bool verify = true) override;

 private:
  std::vector<std::unique_ptr<EnumEntryNode>> mEntries;
};

class CategoryNode : public Node, public GenApi::ICategory {
 public:
  using Node::Node;
  void GetFeatures(GenApi::FeatureList_t& features) const override;
  GenICam::gcstring ToString(bool, bool) override { return ""; }
  void FromString(const GenICam::gcstring&, bool) override;
};

class RegisterNode : public Node, public GenApi::IRegister {
 public:
  using Node::Node;
  int64_t GetLength() override;
  void Get(uint8_t* buffer, int64_t length, bool verify = false, bool ignoreCache = false) override;
  void Set(const uint8_t* buffer, int64_t length, bool verify = true) override;
  GenICam::gcstring ToString(bool, bool) override;
  void FromString(const GenICam::gcstring&, bool) override;
};

class NodeMap : public GenApi::INodeMap {
 public:
  // Every feature of the device's GenICam tree; the device stays open while the map lives.
  explicit NodeMap(std::shared_ptr<DeviceLink> link);
  GenApi::INode* GetNode(const GenICam::gcstring& name) const override;
  void GetNodes(GenApi::NodeList_t& nodes) const override;
  // Aravis keeps no register cache here (its cache policy is off), so every read asks the device.
  void InvalidateNodes() const override {}

  DeviceLink& Link() const { return *mLink; }
  Node* Find(const std::string& name) const;
  void Index(Node& node) { mIndex[node.Name()] = &node; }

 private:
  void AddTree(ArvDomNode* element);
  void LinkSelectors();

  std::shared_ptr<DeviceLink> mLink;
  std::vector<std::unique_ptr<Node>> mNodes;
  std::unordered_map<std::string, Node*> mIndex;
};

}  // namespace Aravis
}  // namespace Pylon
