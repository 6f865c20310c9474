#include "support/TiffBytes.h"

#include <algorithm>

namespace tarnwell::test {

TiffBytes::TiffBytes(bool bigEndian, uint16_t mark) : big_(bigEndian) {
  const uint16_t m = mark != 0 ? mark : (bigEndian ? 0x4D4D : 0x4949);
  bytes_ = {static_cast<uint8_t>(m & 0xFF), static_cast<uint8_t>(m >> 8)};
  put16(42);
  put32(0);
}

void TiffBytes::pad() {
  if (bytes_.size() % 2 != 0) bytes_.push_back(0);
}

uint32_t TiffBytes::append(const std::vector<uint8_t>& data) {
  const auto at = static_cast<uint32_t>(bytes_.size());
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return at;
}

uint32_t TiffBytes::appendText(const std::string& data) {
  return append(std::vector<uint8_t>(data.begin(), data.end()));
}

uint32_t TiffBytes::append32s(const std::vector<uint32_t>& values) {
  pad();
  const auto at = static_cast<uint32_t>(bytes_.size());
  for (uint32_t v : values) put32(v);
  return at;
}

uint32_t TiffBytes::appendRational(uint32_t numerator, uint32_t denominator) {
  return append32s({numerator, denominator});
}

uint32_t TiffBytes::directory(const std::vector<RawEntry>& entries) {
  pad();
  const auto at = static_cast<uint32_t>(bytes_.size());
  put16(static_cast<uint16_t>(entries.size()));
  for (const RawEntry& e : entries) {
    put16(e.tag);
    put16(e.type);
    put32(e.count);
    if (e.type == 3 && e.count <= 2) {
      put16(static_cast<uint16_t>(e.value));
      put16(e.value2);
    } else {
      put32(e.value);
    }
  }
  put32(0);
  return at;
}

std::string TiffBytes::finish(const std::vector<std::vector<RawEntry>>& directories,
                              const std::vector<int>& nextOf) {
  std::vector<uint32_t> at;
  for (const auto& entries : directories) at.push_back(directory(entries));
  if (!at.empty()) link(0, at[0]);
  for (std::size_t i = 0; i < at.size(); ++i) {
    int next = i + 1 < at.size() ? static_cast<int>(i + 1) : -1;
    if (i < nextOf.size()) next = nextOf[i];
    if (next >= 0 && static_cast<std::size_t>(next) < at.size()) link(at[i], at[static_cast<std::size_t>(next)]);
  }
  return text();
}

void TiffBytes::link(uint32_t from, uint32_t to) {
  std::size_t at = 4;
  if (from != 0) at = from + 2 + 12 * std::size_t{get16(from)};
  set32(at, to);
}

void TiffBytes::put16(uint16_t v) {
  if (big_) {
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
    bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
  } else {
    bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
}

void TiffBytes::put32(uint32_t v) {
  if (big_) {
    put16(static_cast<uint16_t>(v >> 16));
    put16(static_cast<uint16_t>(v & 0xFFFF));
  } else {
    put16(static_cast<uint16_t>(v & 0xFFFF));
    put16(static_cast<uint16_t>(v >> 16));
  }
}

uint16_t TiffBytes::get16(std::size_t at) const {
  const uint8_t a = bytes_.at(at), b = bytes_.at(at + 1);
  return big_ ? static_cast<uint16_t>((a << 8) | b) : static_cast<uint16_t>(a | (b << 8));
}

void TiffBytes::set32(std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    const int shift = big_ ? 24 - 8 * i : 8 * i;
    bytes_.at(at + i) = static_cast<uint8_t>(v >> shift);
  }
}

std::vector<RawEntry> faxPageEntries(uint32_t width, uint32_t length, uint16_t compression,
                                     uint32_t dataAt, uint32_t dataSize, uint32_t xresAt,
                                     uint32_t options) {
  std::vector<RawEntry> e = {
      {256, 4, 1, width},       {257, 4, 1, length},  {258, 3, 1, 1},
      {259, 3, 1, compression}, {262, 3, 1, 0},       {266, 3, 1, 1},
      {273, 4, 1, dataAt},      {278, 4, 1, length},  {279, 4, 1, dataSize},
      {282, 5, 1, xresAt},      {283, 5, 1, xresAt},  {296, 3, 1, 2},
  };
  if (compression == 3) e.push_back({292, 4, 1, options});
  if (compression == 4) e.push_back({293, 4, 1, options});
  return e;
}

std::string rawTiff(const std::vector<std::vector<RawEntry>>& directories, const std::string& data,
                    uint32_t dataOffset) {
  TiffBytes t(false);
  uint32_t previous = 0;
  for (const auto& entries : directories) {
    // Every entry as stored: no SHORT packing, the value field written as a LONG.
    t.pad();
    const auto at = static_cast<uint32_t>(t.size());
    t.put16(static_cast<uint16_t>(entries.size()));
    for (const RawEntry& e : entries) {
      t.put16(e.tag);
      t.put16(e.type);
      t.put32(e.count);
      t.put32(e.value);
    }
    t.put32(0);
    t.link(previous, at);
    previous = at;
  }
  std::string s = t.text();
  if (s.size() < dataOffset) s.resize(dataOffset, '\0');
  return s + data;
}

uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
         (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

void setEntry(std::vector<RawEntry>& entries, uint16_t tag, uint16_t type, uint32_t value) {
  for (RawEntry& e : entries) {
    if (e.tag == tag) {
      e.type = type;
      e.value = value;
      return;
    }
  }
  entries.push_back({tag, type, 1, value});
  std::sort(entries.begin(), entries.end(),
            [](const RawEntry& a, const RawEntry& b) { return a.tag < b.tag; });
}

void removeEntry(std::vector<RawEntry>& entries, uint16_t tag) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const RawEntry& e) { return e.tag == tag; }),
                entries.end());
}

bool dropPhotometric(std::vector<uint8_t>& tiff) {
  auto u16 = [&](std::size_t at) { return static_cast<uint32_t>(tiff[at] | (tiff[at + 1] << 8)); };
  auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
  if (tiff.size() < 8 || tiff[0] != 'I') return false;
  bool dropped = false;
  for (uint32_t ifd = u32(4), seen = 0; ifd != 0 && seen < 100; ++seen) {
    if (std::size_t{ifd} + 2 > tiff.size()) return false;
    const uint32_t count = u16(ifd);
    if (std::size_t{ifd} + 2 + 12 * std::size_t{count} + 4 > tiff.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
      const std::size_t entry = ifd + 2 + 12 * std::size_t{i};
      if (u16(entry) == 262) {
        tiff[entry] = 261 & 0xFF;
        dropped = true;
      }
    }
    ifd = u32(ifd + 2 + 12 * std::size_t{count});
  }
  return dropped;
}

}  // namespace tarnwell::test
