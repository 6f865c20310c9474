#include "faxin/FormatClassifier.h"

#include <string_view>

#include "faxin/FormatTable.h"

namespace tarnwell {

namespace {

char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the path's last characters equal the literal, ignoring ASCII letter case. Only
// ASCII literals are compared, so a byte-wise test is safe in UTF-8 paths.
bool endsWith(std::string_view path, std::string_view literal) {
  if (literal.size() > path.size()) return false;
  std::string_view tail = path.substr(path.size() - literal.size());
  for (std::size_t i = 0; i < literal.size(); ++i)
    if (foldAscii(tail[i]) != foldAscii(literal[i])) return false;
  return true;
}

}  // namespace

FaxFormat classifyFile(const std::string& path) {
  for (const FormatRow& row : formatTable()) {
    for (std::string_view suffix : row.suffixes) {
      if (endsWith(path, suffix)) return row.probe != nullptr ? row.probe(path) : row.code;
    }
  }
  return FaxFormat::kRaw;
}

}  // namespace tarnwell
