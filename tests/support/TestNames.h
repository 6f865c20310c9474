#pragma once

// Readable names for parameterised tests.

#include <string>
#include <string_view>

namespace tarnwell::test {

// A name GoogleTest accepts, made from any text: letters and digits stay, '*' becomes "Star",
// '?' becomes "Any", bytes beyond ASCII their hex value ("xC3"), everything else '_'; leading and trailing '_' go; empty text is "Empty".
inline std::string nameFrom(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      out += c;
    } else if (c == '*') {
      out += "Star";
    } else if (c == '?') {
      out += "Any";
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      const char* kHex = "0123456789ABCDEF";
      out += 'x';
      out += kHex[static_cast<unsigned char>(c) >> 4];
      out += kHex[static_cast<unsigned char>(c) & 0xF];
    } else {
      out += '_';
    }
  }
  const auto first = out.find_first_not_of('_');
  if (first == std::string::npos) return "Empty";
  return out.substr(first, out.find_last_not_of('_') - first + 1);
}

}  // namespace tarnwell::test
