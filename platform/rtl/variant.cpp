#include "rtl/variant.h"

#include <charconv>

#include "rtl/exceptions.h"

namespace rtl {

Variant Variant::Null() {
  return Variant(varNull, std::monostate{});
}

Variant Variant::Byte(uint8_t value) {
  return Variant(varByte, int64_t{value});
}

Variant Variant::Array(std::vector<Variant> items) {
  return Variant(varArray | varVariant, std::move(items));
}

Variant Variant::ByteArray(std::vector<uint8_t> bytes) {
  return Variant(varArray | varByte, std::move(bytes));
}

size_t Variant::Length() const {
  if (auto* items = std::get_if<std::vector<Variant>>(&value_)) return items->size();
  if (auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) return bytes->size();
  throw EVariantError("O valor não é um array");
}

Variant Variant::operator[](size_t i) const {
  if (i >= Length()) throw EVariantError("Índice de array fora dos limites");
  if (auto* items = std::get_if<std::vector<Variant>>(&value_)) return (*items)[i];
  return Byte(std::get<std::vector<uint8_t>>(value_)[i]);
}

const std::vector<Variant>& Variant::Items() const {
  if (auto* items = std::get_if<std::vector<Variant>>(&value_)) return *items;
  throw EVariantError("O valor não é um array de variants");
}

std::vector<Variant>& Variant::Items() {
  if (auto* items = std::get_if<std::vector<Variant>>(&value_)) return *items;
  throw EVariantError("O valor não é um array de variants");
}

const std::vector<uint8_t>& Variant::Bytes() const {
  if (auto* bytes = std::get_if<std::vector<uint8_t>>(&value_)) return *bytes;
  throw EVariantError("O valor não é um array de bytes");
}

std::string Variant::AsString() const {
  switch (type_) {
    case varEmpty:
    case varNull:
      return {};
    case varBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case varInteger:
    case varByte:
      return std::to_string(std::get<int64_t>(value_));
    case varOleStr:
      return std::get<std::string>(value_);
    default:
      throw EVariantError("Um array não pode ser convertido em texto");
  }
}

int64_t Variant::AsInteger() const {
  switch (type_) {
    case varEmpty:
    case varNull:
      return 0;
    case varBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case varInteger:
    case varByte:
      return std::get<int64_t>(value_);
    case varOleStr: {
      const std::string& s = std::get<std::string>(value_);
      int64_t result = 0;
      auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), result);
      if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        throw EConvertError("\"" + s + "\" não é um número inteiro válido");
      return result;
    }
    default:
      throw EVariantError("Um array não pode ser convertido em número");
  }
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case varEmpty:
    case varNull:
      return false;
    case varBoolean:
      return std::get<bool>(value_);
    case varInteger:
    case varByte:
      return std::get<int64_t>(value_) != 0;
    case varOleStr: {
      const std::string& s = std::get<std::string>(value_);
      if (s == "True" || s == "true") return true;
      if (s == "False" || s == "false") return false;
      throw EConvertError("\"" + s + "\" não é um valor lógico válido");
    }
    default:
      throw EVariantError("Um array não pode ser convertido em valor lógico");
  }
}

bool Variant::operator==(const Variant& other) const {
  return type_ == other.type_ && value_ == other.value_;
}

int VarArrayLowBound(const Variant& v) {
  if (!v.IsArray()) throw EVariantError("O valor não é um array");
  return 0;
}

int VarArrayHighBound(const Variant& v) {
  return static_cast<int>(v.Length()) - 1;
}

Variant VarArrayOf(std::initializer_list<Variant> items) {
  return Variant::Array(std::vector<Variant>(items));
}

}  // namespace rtl
