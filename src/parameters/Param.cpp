#include "Param.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

// atoi as callers know it (leading blanks, sign, digits; anything else ends the number), but an
// out-of-range number saturates instead of being undefined.
int ParseInt(const char* text) {
  const long long parsed = std::strtoll(text, nullptr, 10);
  if (parsed > INT_MAX) return INT_MAX;
  if (parsed < INT_MIN) return INT_MIN;
  return static_cast<int>(parsed);
}

// Truncation toward zero; values beyond the target range saturate and NaN gives 0, where a plain
// cast would be undefined.
int64_t TruncateToInt64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0) return INT64_MAX;
  if (v <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(v);
}

int TruncateToInt(double v) {
  const int64_t truncated = TruncateToInt64(v);
  if (truncated > INT_MAX) return INT_MAX;
  if (truncated < INT_MIN) return INT_MIN;
  return static_cast<int>(truncated);
}

uint32_t Low32(int64_t v) { return static_cast<uint32_t>(static_cast<uint64_t>(v)); }

[[noreturn]] void ReadError(const Param_& p) {
  throw std::runtime_error("Param_::get_val_all unrecognized type or unsupported combination param= " + p.name);
}

[[noreturn]] void WriteError(ParamType tag, const Param_& p) {
  throw std::runtime_error("Param_::setval() unrecognized type or unsupported combination, type=" +
                           std::to_string(static_cast<int>(tag)) + ", param= " + p.name);
}

// Reading: one field of a given stored type into the requested tag. The combination has been
// checked before anything is written.
void WriteInt32(ParamType tag, void* out, uint32_t bits) {
  if (tag == ptInt) {
    *static_cast<int*>(out) = static_cast<int>(bits);
  } else {
    *static_cast<unsigned int*>(out) = bits;
  }
}

void ReadInt(int v, ParamType tag, void* out) {
  switch (tag) {
    case ptInt: case ptUInt: WriteInt32(tag, out, static_cast<uint32_t>(v)); break;
    case ptInt64: *static_cast<int64_t*>(out) = v; break;
    case ptDouble: *static_cast<double*>(out) = v; break;
    default: break;
  }
}

void ReadUInt(unsigned int v, ParamType tag, void* out) {
  switch (tag) {
    case ptInt: case ptUInt: WriteInt32(tag, out, v); break;
    case ptInt64: *static_cast<int64_t*>(out) = static_cast<int64_t>(v); break;
    case ptDouble: *static_cast<double*>(out) = v; break;
    default: break;
  }
}

void ReadInt64(int64_t v, ParamType tag, void* out) {
  switch (tag) {
    case ptInt: case ptUInt: WriteInt32(tag, out, Low32(v)); break;
    case ptInt64: *static_cast<int64_t*>(out) = v; break;
    case ptDouble: *static_cast<double*>(out) = static_cast<double>(v); break;  // enumerations only
    default: break;
  }
}

void ReadDouble(double v, ParamType tag, void* out) {
  switch (tag) {
    case ptInt: *static_cast<int*>(out) = TruncateToInt(v); break;
    case ptUInt: *static_cast<unsigned int*>(out) = Low32(TruncateToInt64(v)); break;
    case ptInt64: *static_cast<int64_t*>(out) = TruncateToInt64(v); break;
    case ptDouble: *static_cast<double*>(out) = v; break;
    default: break;
  }
}

void ReadText(const std::string& v, ParamType tag, void* out) {
  switch (tag) {
    case ptInt: case ptUInt: WriteInt32(tag, out, static_cast<uint32_t>(ParseInt(v.c_str()))); break;
    case ptInt64: *static_cast<int64_t*>(out) = ParseInt(v.c_str()); break;
    case ptDouble: *static_cast<double*>(out) = std::atof(v.c_str()); break;
    default: break;
  }
}

// Which requested tags each stored kind can give.
bool ReadAllowed(Param_::Kind kind, ParamType tag) {
  switch (tag) {
    case ptInt: case ptUInt: case ptInt64: return kind != Param_::Kind::Bool;
    case ptDouble: return kind != Param_::Kind::Bool && kind != Param_::Kind::Int64;
    case ptString: return kind == Param_::Kind::String || kind == Param_::Kind::Enum;
    case ptBool: return true;
    default: return false;
  }
}

// Which given tags each stored kind accepts.
bool WriteAllowed(Param_::Kind kind, ParamType tag) {
  switch (kind) {
    case Param_::Kind::Int: case Param_::Kind::UInt: case Param_::Kind::Int64: case Param_::Kind::Double:
      return tag == ptInt || tag == ptUInt || tag == ptInt64 || tag == ptDouble;
    case Param_::Kind::Bool: return tag == ptInt || tag == ptUInt || tag == ptInt64 || tag == ptBool;
    case Param_::Kind::String: case Param_::Kind::Enum: return tag == ptCString || tag == ptString;
  }
  return false;
}

// Writing: the datum converted to each stored type.
template <typename T>
T ConvertDatum(ParamType tag, const void* data);

template <>
int ConvertDatum<int>(ParamType tag, const void* data) {
  switch (tag) {
    case ptInt: return *static_cast<const int*>(data);
    case ptUInt: return static_cast<int>(*static_cast<const unsigned int*>(data));
    case ptInt64: return static_cast<int>(Low32(*static_cast<const int64_t*>(data)));
    default: return TruncateToInt(*static_cast<const double*>(data));
  }
}

template <>
unsigned int ConvertDatum<unsigned int>(ParamType tag, const void* data) {
  switch (tag) {
    case ptInt: return static_cast<unsigned int>(*static_cast<const int*>(data));
    case ptUInt: return *static_cast<const unsigned int*>(data);
    case ptInt64: return Low32(*static_cast<const int64_t*>(data));
    default: return Low32(TruncateToInt64(*static_cast<const double*>(data)));
  }
}

template <>
int64_t ConvertDatum<int64_t>(ParamType tag, const void* data) {
  switch (tag) {
    case ptInt: return *static_cast<const int*>(data);
    case ptUInt: return static_cast<int>(*static_cast<const unsigned int*>(data));  // sign-extended
    case ptInt64: return *static_cast<const int64_t*>(data);
    default: return TruncateToInt64(*static_cast<const double*>(data));
  }
}

template <>
double ConvertDatum<double>(ParamType tag, const void* data) {
  switch (tag) {
    case ptInt: return *static_cast<const int*>(data);
    case ptUInt: return static_cast<int>(*static_cast<const unsigned int*>(data));  // as signed int
    case ptInt64: return static_cast<double>(*static_cast<const int64_t*>(data));
    default: return *static_cast<const double*>(data);
  }
}

template <>
bool ConvertDatum<bool>(ParamType tag, const void* data) {
  switch (tag) {
    case ptInt: return *static_cast<const int*>(data) != 0;
    case ptUInt: return *static_cast<const unsigned int*>(data) != 0;
    case ptInt64: return Low32(*static_cast<const int64_t*>(data)) != 0;
    default: return *static_cast<const bool*>(data);
  }
}

template <>
std::string ConvertDatum<std::string>(ParamType tag, const void* data) {
  return tag == ptCString ? std::string(static_cast<const char*>(data)) : *static_cast<const std::string*>(data);
}

template <typename T>
void WriteFields(Param<T>& p, ParamType tag, const void* data, bool setValue, bool setMin, bool setMax) {
  const T datum = ConvertDatum<T>(tag, data);
  if (setValue) p.value = datum;
  // A bool or a text keeps its bounds: only its value is ever written.
  if constexpr (!std::is_same_v<T, bool> && !std::is_same_v<T, std::string>) {
    if (setMin) p.min = datum;
    if (setMax) p.max = datum;
  }
}

template <typename T>
T ParseText(const std::string& text);
template <>
int ParseText<int>(const std::string& text) {
  return ParseInt(text.c_str());
}
template <>
unsigned int ParseText<unsigned int>(const std::string& text) {
  return Low32(std::strtoll(text.c_str(), nullptr, 10));
}
template <>
int64_t ParseText<int64_t>(const std::string& text) {
  return std::strtoll(text.c_str(), nullptr, 10);
}
template <>
double ParseText<double>(const std::string& text) {
  return std::atof(text.c_str());
}
template <>
bool ParseText<bool>(const std::string& text) {
  return ParseInt(text.c_str()) != 0;
}
template <>
std::string ParseText<std::string>(const std::string& text) {
  return text;
}

}  // namespace

// ---- Param_ ----

void Param_::assign_base(const Param_& other) {
  name = other.name;
  group = other.group;
  enabled = other.enabled;
  global = other.global;
  persistent = other.persistent;
  visible = other.visible;
  description = other.description;
  options = other.options;
}

void Param_::get_val_all(ParamType tag, void* out, bool wantValue, bool wantMin, bool wantMax) const {
  if (out == nullptr) throw std::runtime_error("Param_::get_val_all data==0");
  if (!ReadAllowed(mKind, tag)) ReadError(*this);

  if (tag == ptBool) {  // only the value, whatever the flags say
    bool result = false;
    switch (mKind) {
      case Kind::Int: result = static_cast<const Param<int>&>(*this).value != 0; break;
      case Kind::UInt: result = static_cast<const Param<unsigned int>&>(*this).value != 0; break;
      case Kind::Int64: result = static_cast<const Param<int64_t>&>(*this).value != 0; break;
      case Kind::Double: result = static_cast<const Param<double>&>(*this).value != 0.0; break;
      case Kind::Bool: result = static_cast<const Param<bool>&>(*this).value; break;
      case Kind::String: result = ParseInt(static_cast<const Param<std::string>&>(*this).value.c_str()) != 0; break;
      case Kind::Enum: result = static_cast<const ParamEnum&>(*this).int_value() != 0; break;
    }
    *static_cast<bool*>(out) = result;
    return;
  }
  if (tag == ptString) {  // the value text; min and max requests write nothing
    if (wantValue) *static_cast<std::string*>(out) = static_cast<const Param<std::string>&>(*this).value;
    return;
  }

  switch (mKind) {
    case Kind::Int: {
      const auto& p = static_cast<const Param<int>&>(*this);
      if (wantValue) ReadInt(p.value, tag, out);
      if (wantMin) ReadInt(p.min, tag, out);
      if (wantMax) ReadInt(p.max, tag, out);
      break;
    }
    case Kind::UInt: {
      const auto& p = static_cast<const Param<unsigned int>&>(*this);
      if (wantValue) ReadUInt(p.value, tag, out);
      if (wantMin) ReadUInt(p.min, tag, out);
      if (wantMax) ReadUInt(p.max, tag, out);
      break;
    }
    case Kind::Int64: {
      const auto& p = static_cast<const Param<int64_t>&>(*this);
      if (wantValue) ReadInt64(p.value, tag, out);
      if (wantMin) ReadInt64(p.min, tag, out);
      if (wantMax) ReadInt64(p.max, tag, out);
      break;
    }
    case Kind::Double: {
      const auto& p = static_cast<const Param<double>&>(*this);
      if (wantValue) ReadDouble(p.value, tag, out);
      if (wantMin) ReadDouble(p.min, tag, out);
      if (wantMax) ReadDouble(p.max, tag, out);
      break;
    }
    case Kind::Enum: {
      const auto& p = static_cast<const ParamEnum&>(*this);
      if (wantValue) ReadInt64(p.int_value(), tag, out);
      if (wantMin) ReadInt64(p.min_entry_value(), tag, out);
      if (wantMax) ReadInt64(p.max_entry_value(), tag, out);
      break;
    }
    case Kind::String: {
      const auto& p = static_cast<const Param<std::string>&>(*this);
      if (wantValue) ReadText(p.value, tag, out);
      if (wantMin) ReadText(p.min, tag, out);
      if (wantMax) ReadText(p.max, tag, out);
      break;
    }
    case Kind::Bool: break;  // refused above
  }
}

void Param_::set_val_all(ParamType tag, const void* data, bool setValue, bool setMin, bool setMax) {
  if (data == nullptr) throw std::runtime_error("Param_::set_val_all data==0");
  if (!WriteAllowed(mKind, tag)) WriteError(tag, *this);
  switch (mKind) {
    case Kind::Int: WriteFields(static_cast<Param<int>&>(*this), tag, data, setValue, setMin, setMax); break;
    case Kind::UInt: WriteFields(static_cast<Param<unsigned int>&>(*this), tag, data, setValue, setMin, setMax); break;
    case Kind::Int64: WriteFields(static_cast<Param<int64_t>&>(*this), tag, data, setValue, setMin, setMax); break;
    case Kind::Double: WriteFields(static_cast<Param<double>&>(*this), tag, data, setValue, setMin, setMax); break;
    case Kind::Bool: WriteFields(static_cast<Param<bool>&>(*this), tag, data, setValue, setMin, setMax); break;
    case Kind::String:
    case Kind::Enum:
      WriteFields(static_cast<Param<std::string>&>(*this), tag, data, setValue, setMin, setMax);
      break;
  }
}

// ---- Param<T> ----

template <typename T>
Param_::Kind Param<T>::KindOf() {
  if constexpr (std::is_same_v<T, int>) return Kind::Int;
  if constexpr (std::is_same_v<T, unsigned int>) return Kind::UInt;
  if constexpr (std::is_same_v<T, int64_t>) return Kind::Int64;
  if constexpr (std::is_same_v<T, double>) return Kind::Double;
  if constexpr (std::is_same_v<T, bool>) return Kind::Bool;
  return Kind::String;
}

template <typename T>
Param<T>::Param(const std::string& group_, const std::string& name_, T value_, T min_, T max_, Increment increment_)
    : Param_(group_, name_, KindOf()),
      value(value_),
      max(max_),
      min(min_),
      default_value(value_),
      increment(increment_) {}

template <typename T>
Param<T>::Param(const std::string& group_, const std::string& name_, const T& value_)
    : Param_(group_, name_, KindOf()), value(value_), max(value_), min(value_), default_value(value_) {}

template <typename T>
void Param<T>::assign(const Param_& other) {
  const Param<T>& source = dynamic_cast<const Param<T>&>(other);  // std::bad_cast before anything changes
  assign_base(source);
  value = source.value;
  max = source.max;
  min = source.min;
  default_value = source.default_value;
  increment = source.increment;
}

template <typename T>
void Param<T>::set_string(const std::string& newText, bool clamp) {
  value = ParseText<T>(newText);
  if (clamp) {
    if (value < min) value = min;
    if (value > max) value = max;
  }
}

template <typename T>
const char* Param<T>::get_string() {
  std::ostringstream out;
  out.precision(17);
  out << value;
  text = out.str();
  return text.c_str();
}

template <typename T>
bool Param<T>::in_range() const {
  return min <= value && value <= max;
}

template <typename T>
void Param<T>::print(std::ostream& out) const {
  out << name << "=" << value << "\n";
}

template <typename T>
void Param<T>::print_range(std::ostream& out) const {
  out << "[" << min << ".." << max << "]";
}

template <typename T>
Param_* Param<T>::clone() const {
  return new Param<T>(*this);
}

template class Param<int>;
template class Param<unsigned int>;
template class Param<int64_t>;
template class Param<double>;
template class Param<bool>;
template class Param<std::string>;

// ---- ParamEnum ----

ParamEnum::ParamEnum(const std::string& group_, const std::string& name_, const std::string& value_)
    : Param<std::string>(group_, name_, value_) {
  mKind = Kind::Enum;
}

bool ParamEnum::in_range() const {
  for (const std::string& entry : entries) {
    if (entry == value) return true;
  }
  return false;
}

Param_* ParamEnum::clone() const { return new ParamEnum(*this); }

void ParamEnum::add_entry(const char* entryName, int64_t entryValue) {
  if (entryName == nullptr || *entryName == '\0') return;
  entries.emplace_back(entryName);
  entry_values.push_back(entryValue);
  if (entries.size() == 1) value = entryName;
}

int64_t ParamEnum::int_value() const {
  if (value.empty()) return 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == value) return entry_values[i];
  }
  return 0;
}

void ParamEnum::select_value(int64_t v) {
  for (std::size_t i = 0; i < entry_values.size(); ++i) {
    if (entry_values[i] == v) {
      value = entries[i];
      return;
    }
  }
}

int64_t ParamEnum::min_entry_value() const {
  if (entry_values.empty()) return 0;
  int64_t smallest = entry_values.front();
  for (int64_t v : entry_values) smallest = v < smallest ? v : smallest;
  return smallest;
}

int64_t ParamEnum::max_entry_value() const {
  if (entry_values.empty()) return 0;
  int64_t largest = entry_values.front();
  for (int64_t v : entry_values) largest = v > largest ? v : largest;
  return largest;
}
