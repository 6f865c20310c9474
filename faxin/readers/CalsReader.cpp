#include "faxin/readers/CalsReader.h"

#include <algorithm>
#include <vector>

namespace tarnwell {

namespace {

constexpr std::size_t kPelCountRecord = 1024;
constexpr std::size_t kDensityRecord = 1152;
// The second size number and the density are read from at most this many characters.
constexpr std::size_t kShortField = 7;

}  // namespace

std::string_view calsValue(std::span<const uint8_t> header, std::size_t from,
                           std::string_view key) {
  if (from > header.size()) return {};
  const std::string_view text(reinterpret_cast<const char*>(header.data()), header.size());
  const std::size_t at = text.find(key, from);
  if (at == std::string_view::npos) return {};
  const std::size_t value = at + key.size() + 1;  // past the ":"
  return value <= text.size() ? text.substr(value) : std::string_view{};
}

uint32_t calsNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text[i] - '0'), UINT32_MAX);
  }
  return negative ? 0 : static_cast<uint32_t>(value);
}

bool calsPelCount(std::span<const uint8_t> header, uint32_t& width, uint32_t& rows) {
  const std::string_view size = calsValue(header, kPelCountRecord, "rpelcnt");
  const std::size_t comma = size.find(',');
  if (comma == std::string_view::npos) return false;
  width = calsNumber(size.substr(0, comma));
  rows = calsNumber(size.substr(comma + 1, kShortField));
  return true;
}

int CalsReader::readHeader() {
  std::vector<uint8_t> header(kHeaderSize);
  if (!readAt(0, header)) return -2;
  Declared declared;
  if (!calsPelCount(header, declared.width, declared.rows)) return -2;
  const std::string_view density = calsValue(header, kDensityRecord, "rdensty");
  const uint32_t resolution = calsNumber(density.substr(0, kShortField));
  // A density of 0 is no CALS raster.
  if (resolution == 0) return -2;
  declared.resolution = static_cast<uint16_t>(std::min<uint32_t>(resolution, UINT16_MAX));
  declared.dataOffset = kHeaderSize;
  declared.fillOrder = 1;
  return declare(declared);
}

}  // namespace tarnwell
