#pragma once
// GenApi: a camera's features as typed nodes of a node map.
//
// Every interface derives virtually from INode, so a node found by name is cast to the interface
// it offers with dynamic_cast (an enumeration that is a selector offers IEnumeration and ISelector).

#include <cstdint>
#include <vector>

#include "GenICam.h"
#include "SdkExport.h"

namespace GenApi {

enum EAccessMode { NI = 0, NA = 1, WO = 2, RO = 3, RW = 4 };

enum ERepresentation { Linear = 0, Logarithmic = 1, Boolean = 2, PureNumber = 3, HexNumber = 4, IPV4Address = 5,
                       MACAddress = 6 };

inline bool IsReadable(EAccessMode mode) { return mode == RO || mode == RW; }
inline bool IsWritable(EAccessMode mode) { return mode == WO || mode == RW; }
inline bool IsAvailable(EAccessMode mode) { return mode != NI && mode != NA; }

class INode;
class IValue;
using NodeList_t = std::vector<INode*>;
using FeatureList_t = std::vector<IValue*>;

class KORVEX_SDK_API INode {
 public:
  virtual ~INode() = default;
  virtual GenICam::gcstring GetName(bool fullQualified = false) const = 0;
  virtual GenICam::gcstring GetDescription() const = 0;
  virtual EAccessMode GetAccessMode() const = 0;
};

class KORVEX_SDK_API IValue : public virtual INode {
 public:
  INode* GetNode() { return this; }
  virtual GenICam::gcstring ToString(bool verify = false, bool ignoreCache = false) = 0;
  virtual void FromString(const GenICam::gcstring& value, bool verify = true) = 0;
};

// Selectors and the features they select (a gain per tap, a trigger setting per trigger).
class KORVEX_SDK_API ISelector : public virtual INode {
 public:
  virtual bool IsSelector() const = 0;
  virtual void GetSelectedFeatures(FeatureList_t& features) const = 0;
  virtual void GetSelectingFeatures(FeatureList_t& features) const = 0;
};

class KORVEX_SDK_API IInteger : public virtual IValue {
 public:
  virtual int64_t GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetValue(int64_t value, bool verify = true) = 0;
  virtual int64_t GetMin() = 0;
  virtual int64_t GetMax() = 0;
  virtual int64_t GetInc() = 0;
  virtual ERepresentation GetRepresentation() = 0;
};

class KORVEX_SDK_API IFloat : public virtual IValue {
 public:
  virtual double GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetValue(double value, bool verify = true) = 0;
  virtual double GetMin() = 0;
  virtual double GetMax() = 0;
  virtual GenICam::gcstring GetUnit() const = 0;
};

class KORVEX_SDK_API IBoolean : public virtual IValue {
 public:
  virtual bool GetValue(bool verify = false, bool ignoreCache = false) const = 0;
  virtual void SetValue(bool value, bool verify = true) = 0;
};

class KORVEX_SDK_API IString : public virtual IValue {
 public:
  virtual GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetValue(const GenICam::gcstring& value, bool verify = true) = 0;
};

class KORVEX_SDK_API ICommand : public virtual IValue {
 public:
  virtual void Execute(bool verify = true) = 0;
  virtual bool IsDone(bool verify = true) = 0;
};

class KORVEX_SDK_API IEnumEntry : public virtual IValue {
 public:
  virtual int64_t GetValue() = 0;
  virtual GenICam::gcstring GetSymbolic() const = 0;
};

class KORVEX_SDK_API IEnumeration : public virtual IValue {
 public:
  virtual void GetEntries(NodeList_t& entries) = 0;
  virtual int64_t GetIntValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetIntValue(int64_t value, bool verify = true) = 0;
  virtual IEnumEntry* GetEntryByName(const GenICam::gcstring& symbolic) = 0;
  virtual IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) = 0;
};

class KORVEX_SDK_API ICategory : public virtual IValue {
 public:
  virtual void GetFeatures(FeatureList_t& features) const = 0;
};

class KORVEX_SDK_API IRegister : public virtual IValue {
 public:
  virtual int64_t GetLength() = 0;
  virtual void Get(uint8_t* buffer, int64_t length, bool verify = false, bool ignoreCache = false) = 0;
  virtual void Set(const uint8_t* buffer, int64_t length, bool verify = true) = 0;
};

class KORVEX_SDK_API INodeMap {
 public:
  virtual ~INodeMap() = default;
  // Null when the map has no node of that name.
  virtual INode* GetNode(const GenICam::gcstring& name) const = 0;
  virtual void GetNodes(NodeList_t& nodes) const = 0;
  // Drops cached values, so that the next reads ask the device.
  virtual void InvalidateNodes() const = 0;
};

}  // namespace GenApi
