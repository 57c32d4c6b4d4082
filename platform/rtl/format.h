// Format: the runtime's string formatting, reduced to what the system uses.
//
// `%s` and `%S` take the next argument, positionally; `%%` stands for one
// percent sign. A placeholder with no argument left, or any other conversion,
// throws EConvertError; arguments beyond the placeholders are ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

std::string Format(std::string_view format, const std::vector<std::string>& args);

}  // namespace rtl
