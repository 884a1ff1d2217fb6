#include "PropertyControlAdapter.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "driver/Text.h"

namespace {

// A type-checked down-cast to the exact parameter class an adapter serves.
class WrongParameterType : public std::bad_cast {
 public:
  explicit WrongParameterType(const std::string& name) : mWhat("Wrong parameter '" + name + "' type") {}
  const char* what() const noexcept override { return mWhat.c_str(); }

 private:
  std::string mWhat;
};

template <typename P>
P& As(Param_& parameter) {
  P* typed = dynamic_cast<P*>(&parameter);
  if (typed == nullptr) throw WrongParameterType(parameter.name);
  return *typed;
}

void Stored(bool ok, const Param_& parameter) {
  if (!ok) throw std::runtime_error("Failed to set control '" + parameter.name + "' value");
}

void Read(bool ok, const Param_& parameter) {
  if (!ok) throw std::runtime_error("Failed to get control '" + parameter.name + "' value");
}

// The text of a String, File or Enum parameter, which all reach it as Param<std::string>.
void WriteText(Param_& parameter, CPropertyGrid& grid, int item) {
  Stored(grid.SetItemValue(item, As<Param<std::string>>(parameter).value), parameter);
}

void ReadText(Param_& parameter, CPropertyGrid& grid, int item) {
  Param<std::string>& typed = As<Param<std::string>>(parameter);
  std::string text;
  Read(grid.GetItemValue(item, text), parameter);
  typed.value = text;
}

}  // namespace

std::string PropertyControlAdapter::Label(const Param_& parameter) {
  return parameter.has_option("FriendlyName") ? parameter.get_option<std::string>("FriendlyName") : parameter.name;
}

std::string PropertyControlAdapter::Format(const Param_& parameter) {
  return parameter.has_option("Format") ? parameter.get_option<std::string>("Format") : std::string();
}

std::shared_ptr<PropertyControlAdapter> PropertyControlAdapter::For(const Param_& parameter) {
  // 1. Built once; the rows in the order they are compared.
  static const std::vector<std::pair<std::type_index, std::shared_ptr<PropertyControlAdapter>>> table = {
      {typeid(Param<bool>), std::make_shared<PropertyControlAdapterBool>()},
      {typeid(Param<int>), std::make_shared<PropertyControlAdapterInt<int>>()},
      {typeid(Param<unsigned int>), std::make_shared<PropertyControlAdapterInt<unsigned int>>()},
      {typeid(Param<int64_t>), std::make_shared<PropertyControlAdapterInt<int64_t>>()},
      {typeid(Param<double>), std::make_shared<PropertyControlAdapterFloat>()},
      {typeid(Param<std::string>), std::make_shared<PropertyControlAdapterString>()},
      {typeid(ParamEnum), std::make_shared<PropertyControlAdapterEnum>()},
  };
  if (EqualsIgnoringCase(parameter.name.c_str(), "LUTtable")) return std::make_shared<PropertyControlAdapterFile>();
  // 3. The exact type: a ParamEnum is not taken for its base.
  const std::type_index type(typeid(parameter));
  for (const auto& row : table) {
    if (row.first == type) return row.second;
  }
  // No control for any other kind of parameter.
  throw std::runtime_error("Unsupported parameter type");
}

int PropertyControlAdapterBool::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  return grid.AddBoolItem(section, Label(parameter), As<Param<bool>>(parameter).value, parameter.enabled, false);
}
void PropertyControlAdapterBool::WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Stored(grid.SetItemValue(item, As<Param<bool>>(parameter).value), parameter);
}
void PropertyControlAdapterBool::ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Param<bool>& typed = As<Param<bool>>(parameter);
  bool value = false;
  Read(grid.GetItemValue(item, value), parameter);
  typed.value = value;
}

template <typename T>
int PropertyControlAdapterInt<T>::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  return grid.AddIntegerItem(section, Label(parameter), As<Param<T>>(parameter).value, Format(parameter),
                             parameter.enabled, false);
}
template <typename T>
void PropertyControlAdapterInt<T>::WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Stored(grid.SetItemValue(item, As<Param<T>>(parameter).value), parameter);
}
template <typename T>
void PropertyControlAdapterInt<T>::ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Param<T>& typed = As<Param<T>>(parameter);
  // Read whole: the item holds 64 bits, and a number the parameter cannot hold is refused rather
  // than cut to its low bits.
  int64_t value = 0;
  Read(grid.GetItemValue(item, value), parameter);
  if (value < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      value > static_cast<int64_t>(std::numeric_limits<T>::max())) {
    WriteValueToItem(parameter, grid, item);
    throw RefusedInput(Label(parameter) + ": " + std::to_string(value) + " is not a valid value (" +
                       std::to_string(std::numeric_limits<T>::min()) + " to " +
                       std::to_string(std::numeric_limits<T>::max()) + ")");
  }
  typed.value = static_cast<T>(value);
}
template class PropertyControlAdapterInt<int>;
template class PropertyControlAdapterInt<unsigned int>;
template class PropertyControlAdapterInt<int64_t>;

int PropertyControlAdapterFloat::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  return grid.AddDoubleItem(section, Label(parameter), As<Param<double>>(parameter).value, Format(parameter),
                            parameter.enabled, false);
}
void PropertyControlAdapterFloat::WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Stored(grid.SetItemValue(item, As<Param<double>>(parameter).value), parameter);
}
void PropertyControlAdapterFloat::ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) {
  Param<double>& typed = As<Param<double>>(parameter);
  double value = 0;
  Read(grid.GetItemValue(item, value), parameter);
  typed.value = value;
}

int PropertyControlAdapterString::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  return grid.AddStringItem(section, Label(parameter), As<Param<std::string>>(parameter).value, parameter.enabled,
                            false);
}
void PropertyControlAdapterString::WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) {
  WriteText(parameter, grid, item);
}
void PropertyControlAdapterString::ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) {
  ReadText(parameter, grid, item);
}

int PropertyControlAdapterEnum::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  ParamEnum& typed = As<ParamEnum>(parameter);
  // The last entry whose value is the current one's (0 for a value not among the entries), else 0.
  const int64_t current = typed.int_value();
  int64_t selected = 0;
  for (std::size_t i = 0; i < typed.entry_values.size(); ++i) {
    if (typed.entry_values[i] == current) selected = static_cast<int64_t>(i);
  }
  return grid.AddComboItem(section, Label(parameter), typed.entries, selected, parameter.enabled, false);
}
void PropertyControlAdapterEnum::WriteValueToItem(Param_& parameter, CPropertyGrid& grid, int item) {
  WriteText(parameter, grid, item);
}
void PropertyControlAdapterEnum::ReadValueFromItem(Param_& parameter, CPropertyGrid& grid, int item) {
  ReadText(parameter, grid, item);
}

int PropertyControlAdapterFile::CreateItem(Param_& parameter, CPropertyGrid& grid, int section) {
  return grid.AddFileItem(section, Label(parameter), As<Param<std::string>>(parameter).value,
                          "LUT table (*.csv)|*.csv||", parameter.enabled, false);
}
