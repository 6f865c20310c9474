#pragma once

// Hand-made TIFF bytes, in either byte order, for structures libtiff would never write: looping
// chains, strip tables pointing outside the file, wrong marks, thousands of directories, fields
// of the wrong type.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::test {

// One directory entry as stored. SHORT values with a count of 1 or 2 are stored in place
// (`value`, then `value2`); everything else stores `value` as a LONG (a value or an offset).
struct RawEntry {
  uint16_t tag = 0;
  uint16_t type = 0;  // 3 SHORT, 4 LONG, 5 RATIONAL
  uint32_t count = 0;
  uint32_t value = 0;
  uint16_t value2 = 0;
};

class TiffBytes {
 public:
  // A classic TIFF header; `mark` replaces the byte-order mark when not 0; the first-directory
  // link is 0 until linked.
  explicit TiffBytes(bool bigEndian = false, uint16_t mark = 0);

  std::size_t size() const { return bytes_.size(); }
  std::vector<uint8_t>& bytes() { return bytes_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::string text() const { return std::string(bytes_.begin(), bytes_.end()); }

  // Pads to an even offset, as TIFF offsets should be.
  void pad();
  // Appends data and returns its offset.
  uint32_t append(const std::vector<uint8_t>& data);
  uint32_t appendText(const std::string& data);
  uint32_t append32s(const std::vector<uint32_t>& values);
  uint32_t appendRational(uint32_t numerator, uint32_t denominator);

  // Appends a directory; returns its position. Its next-directory link is 0 until linked.
  uint32_t directory(const std::vector<RawEntry>& entries);
  // Appends the directories one after the other, links the header to the first and each to the
  // following one, or to the one `nextOf[i]` names (-1: none), so loops can be built; returns the
  // whole file.
  std::string finish(const std::vector<std::vector<RawEntry>>& directories,
                     const std::vector<int>& nextOf = {});
  // Makes the directory at `from` (or the header when `from` is 0) point at `to`.
  void link(uint32_t from, uint32_t to);

  void put16(uint16_t v);
  void put32(uint32_t v);
  uint16_t get16(std::size_t at) const;
  void set32(std::size_t at, uint32_t v);

 private:
  bool big_;
  std::vector<uint8_t> bytes_;
};

// Entries of a one-strip fax page of the given compression whose data sits at `dataAt`.
std::vector<RawEntry> faxPageEntries(uint32_t width, uint32_t length, uint16_t compression,
                                     uint32_t dataAt, uint32_t dataSize, uint32_t xresAt,
                                     uint32_t options = 0);

// A little-endian file: the directories one after the other from offset 8, each linked to the
// next, then zero bytes up to `dataOffset`, then `data`.
// Renames the PhotometricInterpretation entry (262) of every directory of a little-endian TIFF to
// the undefined tag 261, which keeps the entries in ascending order: the file then has no
// photometric tag. False when no such entry was found or the chain leaves the file.
bool dropPhotometric(std::vector<uint8_t>& tiff);

std::string rawTiff(const std::vector<std::vector<RawEntry>>& directories, const std::string& data,
                    uint32_t dataOffset);

// Little-endian values read from file bytes (bounds-checked: out of range throws).
uint16_t le16(const std::vector<uint8_t>& bytes, std::size_t at);
uint32_t le32(const std::vector<uint8_t>& bytes, std::size_t at);

// Sets (or adds, keeping the tags sorted) a one-value entry; removes an entry.
void setEntry(std::vector<RawEntry>& entries, uint16_t tag, uint16_t type, uint32_t value);
void removeEntry(std::vector<RawEntry>& entries, uint16_t tag);

}  // namespace tarnwell::test
