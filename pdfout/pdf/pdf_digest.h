#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwell {

// The MD5 message digest (RFC 1321), fed in pieces. The archival PDF's file identifier is the
// digest of the bytes before its trailer, as the PDF reference suggests: documents that differ
// get different identifiers, and the same document always the same one.
class Md5 {
 public:
  Md5();
  void update(const void* data, size_t size);
  // The digest of everything fed so far; the object is not to be fed afterwards.
  [[nodiscard]] std::array<uint8_t, 16> finish();

 private:
  void block(const uint8_t* bytes);
  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes fed
  uint8_t pending_[64] = {};
  size_t pendingSize_ = 0;
};

}  // namespace tarnwell
