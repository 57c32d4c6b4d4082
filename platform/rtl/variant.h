// Variant: the dynamically typed value that travels between the screen, the
// client datasets and the application server.
//
// Kinds: empty, null, boolean, integer (64-bit), wide string (held as UTF-8,
// type code varOleStr), byte, arrays of variants and byte arrays, both indexed
// from 0. A variant is a value: copying it copies its array.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rtl {

// Type codes as reported by VarType().
enum : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varInteger = 0x0003,
  varOleStr = 0x0008,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varByte = 0x0011,
  varTypeMask = 0x0FFF,
  varArray = 0x2000,
};

class Variant {
 public:
  Variant() = default;  // empty
  Variant(bool value) : type_(varBoolean), value_(value) {}
  Variant(int value) : type_(varInteger), value_(int64_t{value}) {}
  Variant(int64_t value) : type_(varInteger), value_(value) {}
  Variant(const char* text) : type_(varOleStr), value_(std::string(text)) {}
  Variant(std::string text) : type_(varOleStr), value_(std::move(text)) {}
  Variant(std::string_view text) : type_(varOleStr), value_(std::string(text)) {}

  static Variant Null();
  static Variant Byte(uint8_t value);
  // An array of variants, varArray | varVariant.
  static Variant Array(std::vector<Variant> items);
  // A byte array, varArray | varByte; data packets travel as these.
  static Variant ByteArray(std::vector<uint8_t> bytes);

  uint16_t Type() const { return type_; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNull() const { return type_ == varNull; }
  bool IsArray() const { return (type_ & varArray) != 0; }
  bool IsString() const { return type_ == varOleStr; }
  bool IsByteArray() const { return type_ == (varArray | varByte); }

  // Number of elements of an array (bytes of a byte array). Throws
  // EVariantError when this is not an array.
  size_t Length() const;
  // Element i of an array; an element of a byte array is a varByte variant.
  // Throws EVariantError when this is not an array or i is out of range.
  Variant operator[](size_t i) const;
  // The elements of an array of variants; throws EVariantError otherwise.
  const std::vector<Variant>& Items() const;
  std::vector<Variant>& Items();
  // The bytes of a byte array; throws EVariantError otherwise.
  const std::vector<uint8_t>& Bytes() const;

  // Conversions as the runtime makes them. Empty and null give "" and 0;
  // booleans "True"/"False"; integers their decimal form. Arrays cannot be
  // converted: EVariantError.
  std::string AsString() const;
  int64_t AsInteger() const;  // strings must hold a decimal integer
  bool AsBoolean() const;     // integers: non-zero; strings: "True"/"False"

  // Same kind and same value (arrays element by element).
  bool operator==(const Variant& other) const;

 private:
  using Storage = std::variant<std::monostate, bool, int64_t, std::string, std::vector<Variant>,
                               std::vector<uint8_t>>;
  Variant(uint16_t type, Storage value) : type_(type), value_(std::move(value)) {}

  uint16_t type_ = varEmpty;
  Storage value_;
};

// The runtime's free functions over variants.
inline uint16_t VarType(const Variant& v) {
  return v.Type();
}
inline bool VarIsArray(const Variant& v) {
  return v.IsArray();
}
inline bool VarIsEmpty(const Variant& v) {
  return v.IsEmpty();
}
inline bool VarIsNull(const Variant& v) {
  return v.IsNull();
}
// Bounds of the single dimension; the low bound is always 0.
int VarArrayLowBound(const Variant& v);
int VarArrayHighBound(const Variant& v);
Variant VarArrayOf(std::initializer_list<Variant> items);
inline std::string VarToStr(const Variant& v) {
  return v.AsString();
}

}  // namespace rtl
