#include "app/FileFilter.h"

namespace tarnwell {

namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the UTF-8 character that begins at i (1 for stray continuation bytes).
std::size_t charLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t n = 1;
  if (lead >= 0xF0) n = 4;
  else if (lead >= 0xE0) n = 3;
  else if (lead >= 0xC0) n = 2;
  std::size_t k = 1;
  while (k < n && i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80) ++k;
  return k;
}

// Glob match with one remembered star: linear back-tracking, never recursive, so a hostile
// pattern cannot blow the stack or take exponential time.
bool globMatch(std::string_view name, std::string_view pattern) {
  std::size_t n = 0, p = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starN = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      n += charLength(name, n);
      ++p;
    } else if (p < pattern.size() && foldAscii(pattern[p]) == foldAscii(name[n])) {
      ++n;
      ++p;
    } else if (starP != std::string_view::npos) {
      starN += charLength(name, starN);
      n = starN;
      p = starP;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool matchesFilter(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (globMatch(name, pattern)) return true;
  if (pattern.size() >= 2 && pattern.ends_with(".*") && name.find('.') == std::string_view::npos)
    return globMatch(name, pattern.substr(0, pattern.size() - 2));
  return false;
}

}  // namespace tarnwell
