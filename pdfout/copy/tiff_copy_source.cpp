#include "pdfout/copy/tiff_copy_source.h"

#include <cstdint>
#include <utility>

#include "pdfout/tiffio/messages.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kListSeparator = ',';

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads an unsigned number at `pos`: decimal, hexadecimal after "0x", octal after a leading
// 0. Values past 32 bits saturate (no such directory exists). Returns false when no digit is
// there; `pos` is left after the digits read.
bool readNumber(const std::string& text, size_t& pos, uint32_t& value) {
  int base = 10;
  size_t p = pos;
  if (p < text.size() && text[p] == '0') {
    base = 8;
    if (p + 2 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X') &&
        digitValue(text[p + 2]) < 16) {
      base = 16;
      p += 2;
    }
  }
  uint64_t v = 0;
  const size_t start = p;
  while (p < text.size() && digitValue(text[p]) < base) {
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digitValue(text[p]));
    if (v > UINT32_MAX) v = UINT32_MAX + uint64_t{1};  // saturate, keeps the loop overflow-free
    ++p;
  }
  if (p == start) return false;
  pos = p;
  value = v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
  return true;
}

}  // namespace

SourceName splitSourceName(const std::string& name) {
  SourceName result;
  const size_t firstComma = name.find(kListSeparator);
  if (firstComma == std::string::npos || platform::isRegularFile(name)) {
    result.fileName = name;
    return result;
  }
  size_t cut = firstComma;
  for (size_t comma = firstComma; comma != std::string::npos;
       comma = name.find(kListSeparator, comma + 1)) {
    if (comma > 0 && platform::isRegularFile(name.substr(0, comma))) {
      cut = comma;
      break;
    }
  }
  result.fileName = name.substr(0, cut);
  result.list = name.substr(cut + 1);
  result.hasList = !result.list.empty();
  return result;
}

ImageList::ImageList(std::string fileName, std::string list)
    : fileName_(std::move(fileName)), list_(std::move(list)) {}

ImageList::Step ImageList::selectNext(TIFF* in) {
  if (ended_ || position_ >= list_.size()) {
    ended_ = true;
    return Step::End;
  }
  size_t pos = position_;
  uint32_t directory = 0;
  if (!readNumber(list_, pos, directory)) directory = TIFFCurrentDirectory(in);
  if (pos < list_.size() && list_[pos] != kListSeparator) {
    TIFFError(kPdfModule, "Expected a %c separated image # list after %s", kListSeparator,
              fileName_.c_str());
    ended_ = true;
    return Step::NotFound;
  }
  if (pos >= list_.size()) {
    ended_ = true;  // the number ends the text
  } else {
    position_ = pos + 1;
    if (position_ >= list_.size()) ended_ = true;  // a ',' at the very end ends the list
  }
  if (!TIFFSetDirectory(in, directory)) {
    TIFFError(kPdfModule, "%s%c%u not found!", fileName_.c_str(), kListSeparator, directory);
    ended_ = true;
    return Step::NotFound;
  }
  return Step::Selected;
}

}  // namespace tarnwell
