#pragma once
// The adapters between camera parameters and property grid items: for one parameter type, which
// item to create and how the value moves between parameter and item. They hold no state; one
// object per type serves every parameter of that type.
//
// Threads: the dialog's user-interface thread only; the factory's table is built once, on first use.

#include <memory>
#include <stdexcept>
#include <string>

#include "config_ui/CPropertyGrid.h"
#include "parameters/Param.h"

// A value typed into an item that the parameter's type cannot hold: refused, the item shows the
// parameter's value again, and the message says why.
class RefusedInput : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PropertyControlAdapter {
 public:
  virtual ~PropertyControlAdapter() = default;
  // The id of the new item, or the grid's -1 when it refuses.
  virtual int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) = 0;
  virtual void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) = 0;
  // RefusedInput for a value outside the parameter's type.
  virtual void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) = 0;

  // The adapter of a parameter: a fresh file adapter for "LUTtable" (in any case), else the shared
  // one of its exact type; "Unsupported parameter type" for any other type.
  static std::shared_ptr<PropertyControlAdapter> For(const Param_& parameter);

  // The label: the "FriendlyName" option, else the name.
  static std::string Label(const Param_& parameter);

 protected:
  // The "Format" option, else empty.
  static std::string Format(const Param_& parameter);
};

class PropertyControlAdapterBool : public PropertyControlAdapter {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
  void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) override;
  void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) override;
};

template <typename T>
class PropertyControlAdapterInt : public PropertyControlAdapter {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
  void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) override;
  void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) override;
};

class PropertyControlAdapterFloat : public PropertyControlAdapter {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
  void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) override;
  void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) override;
};

class PropertyControlAdapterString : public PropertyControlAdapter {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
  void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) override;
  void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) override;
};

class PropertyControlAdapterEnum : public PropertyControlAdapter {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
  // As the string adapter: the value is the entry's name.
  void WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) override;
  void ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) override;
};

class PropertyControlAdapterFile : public PropertyControlAdapterString {
 public:
  int CreateItem(Param_& parameter, CPropertyGrid& grid, int section) override;
};
