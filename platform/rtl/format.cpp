#include "rtl/format.h"

#include "rtl/exceptions.h"

namespace rtl {

std::string Format(std::string_view format, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(format.size() + 32);
  size_t next_arg = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out.push_back(c);
      continue;
    }
    if (i + 1 >= format.size())
      throw EConvertError("Formato \"" + std::string(format) + "\" inválido: '%' no fim do texto");
    char conv = format[++i];
    if (conv == '%') {
      out.push_back('%');
    } else if (conv == 's' || conv == 'S') {
      if (next_arg >= args.size())
        throw EConvertError("Formato \"" + std::string(format) +
                            "\" inválido ou incompatível com os argumentos");
      out += args[next_arg++];
    } else {
      throw EConvertError("Formato \"" + std::string(format) + "\" inválido: conversão '%" +
                          std::string(1, conv) + "' não suportada");
    }
  }
  return out;
}

}  // namespace rtl
