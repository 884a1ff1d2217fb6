#pragma once
// Typed camera parameters: Param_ (the base every caller sees), Param<T> for the stored types and
// ParamEnum for enumerations. Callers that do not know the stored type convert through val,
// minval and maxval, which follow one fixed table per direction (Param.cpp).
//
// Threads: a parameter has no lock. It is written on host threads (open, configure) and read by the
// driver's threads; the owning CameraParameters serialises those reads against its writers.
// get_string writes the parameter's own text buffer, so it is for one thread at a time.

#include <boost/any.hpp>
#include <boost/format.hpp>
#include <cstdint>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

enum ParamType { ptInt = 0, ptUInt = 1, ptInt64 = 2, ptDouble = 3, ptCString = 4, ptString = 5, ptBool = 6 };

// The tag of a C++ type, or -1 for a type no conversion knows.
template <typename R>
constexpr int ParamTypeOf() {
  if constexpr (std::is_same_v<R, int>) return ptInt;
  if constexpr (std::is_same_v<R, unsigned int>) return ptUInt;
  if constexpr (std::is_same_v<R, int64_t>) return ptInt64;
  if constexpr (std::is_same_v<R, double>) return ptDouble;
  if constexpr (std::is_same_v<R, std::string>) return ptString;
  if constexpr (std::is_same_v<R, bool>) return ptBool;
  return -1;
}

class Param_ {
 public:
  // The concrete class, so that conversions dispatch with a switch rather than a chain of casts.
  enum class Kind { Int, UInt, Int64, Double, Bool, String, Enum };

  virtual ~Param_() = default;
  // Every Param_ field, then the typed fields of `other` viewed as this concrete type
  // (std::bad_cast when it is not). The text buffer is not copied.
  virtual void assign(const Param_& other) = 0;
  // Parses `text` into the value; with `clamp`, limits it to [min, max].
  virtual void set_string(const std::string& text, bool clamp) = 0;
  // The value as text, in the parameter's own buffer: valid until the next call.
  virtual const char* get_string() = 0;
  virtual bool in_range() const = 0;
  virtual void print(std::ostream& out) const = 0;        // name=value and a line feed
  virtual void print_range(std::ostream& out) const = 0;  // [min..max]
  virtual Param_* clone() const = 0;

  // Writes each requested field, converted to `tag`, into *out; later fields overwrite earlier ones.
  void get_val_all(ParamType tag, void* out, bool wantValue, bool wantMin, bool wantMax) const;
  // Converts *data (for ptCString: data itself) to the stored type and writes it into each selected field.
  void set_val_all(ParamType tag, const void* data, bool setValue, bool setMin, bool setMax);

  template <typename R>
  R val() const {
    if constexpr (ParamTypeOf<R>() < 0) {
      throw std::runtime_error("Param_::val() unrecognized type");
    } else {
      R result{};
      get_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &result, true, false, false);
      return result;
    }
  }
  template <typename R>
  R minval() const {
    if constexpr (!IsNumber<R>()) {
      throw std::runtime_error("Param_::minval() unrecognized type");
    } else {
      R result{};
      get_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &result, false, true, false);
      return result;
    }
  }
  template <typename R>
  R maxval() const {
    if constexpr (!IsNumber<R>()) {
      throw std::runtime_error("Param_::maxval(R v) unrecognized type");
    } else {
      R result{};
      get_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &result, false, false, true);
      return result;
    }
  }
  template <typename R>
  void val(const R& v) {
    if constexpr (ParamTypeOf<R>() < 0) {
      throw std::runtime_error("Param_::val(R v) unrecognized type");
    } else {
      set_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &v, true, false, false);
    }
  }
  void val(const char* text) { set_val_all(ptCString, text, true, false, false); }
  template <typename R>
  void minval(const R& v) {
    if constexpr (!IsNumber<R>()) {
      throw std::runtime_error("Param_::minval(R v) unrecognized type");
    } else {
      set_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &v, false, true, false);
    }
  }
  template <typename R>
  void maxval(const R& v) {
    if constexpr (!IsNumber<R>()) {
      throw std::runtime_error("Param_::maxval(R v) unrecognized type");
    } else {
      set_val_all(static_cast<ParamType>(ParamTypeOf<R>()), &v, false, false, true);
    }
  }

  void set_option(const std::string& key, const boost::any& value) { options[key] = value; }
  bool has_option(const std::string& key) const { return options.find(key) != options.end(); }
  // The option as the type it was stored with: std::out_of_range when missing, a std::bad_cast
  // (boost::bad_any_cast) when stored as another type.
  template <typename T>
  T get_option(const std::string& key) const {
    const auto found = options.find(key);
    if (found == options.end()) {
      throw std::out_of_range((boost::format("Parameter %s does not have option %s") % name % key).str());
    }
    return boost::any_cast<T>(found->second);
  }

  Kind kind() const { return mKind; }

  std::string name;
  std::string group;
  bool enabled = true;
  bool global = false;
  bool persistent = true;
  bool visible = true;
  std::string description;
  std::map<std::string, boost::any> options;

 protected:
  Param_(const std::string& group_, const std::string& name_, Kind kind) : name(name_), group(group_), mKind(kind) {}
  Param_(const Param_&) = default;
  Param_& operator=(const Param_&) = default;
  void assign_base(const Param_& other);

  Kind mKind;

 private:
  template <typename R>
  static constexpr bool IsNumber() {
    return std::is_same_v<R, int> || std::is_same_v<R, unsigned int> || std::is_same_v<R, int64_t> ||
           std::is_same_v<R, double>;
  }
};

// boost's pointer containers copy their elements through this.
inline Param_* new_clone(const Param_& parameter) { return parameter.clone(); }

template <typename T>
struct ParamIncrement {
  using type = T;
};
template <>
struct ParamIncrement<bool> {
  using type = unsigned char;  // a bool has no step; the byte is kept for the record's shape
};

template <typename T>
class Param : public Param_ {
 public:
  using Increment = typename ParamIncrement<T>::type;

  // Numbers: group, name, value, min, max, increment; the default is the value.
  Param(const std::string& group_, const std::string& name_, T value_, T min_, T max_, Increment increment_);
  // bool and text: value, min, max and default all get `value_`.
  Param(const std::string& group_, const std::string& name_, const T& value_);

  void assign(const Param_& other) override;
  void set_string(const std::string& text, bool clamp) override;
  const char* get_string() override;
  bool in_range() const override;
  void print(std::ostream& out) const override;
  void print_range(std::ostream& out) const override;
  Param_* clone() const override;

  T value;
  T max;
  T min;
  T default_value;
  Increment increment{};
  std::string text;

 protected:
  static Kind KindOf();
};

class ParamEnum : public Param<std::string> {
 public:
  ParamEnum(const std::string& group_, const std::string& name_, const std::string& value_);

  bool in_range() const override;  // the value is one of the entries
  Param_* clone() const override;

  // A null or empty name adds nothing; the first entry becomes the value.
  void add_entry(const char* entryName, int64_t entryValue);
  // The entry value of the current entry; 0 when the value names none.
  int64_t int_value() const;
  // The first entry with value v becomes the value; no match changes nothing.
  void select_value(int64_t v);
  int64_t min_entry_value() const;
  int64_t max_entry_value() const;

  std::vector<std::string> entries;
  std::vector<int64_t> entry_values;
};

extern template class Param<int>;
extern template class Param<unsigned int>;
extern template class Param<int64_t>;
extern template class Param<double>;
extern template class Param<bool>;
extern template class Param<std::string>;
