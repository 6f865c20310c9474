#include "pdfout/pdf/pdfa_icc.h"

#include <cmath>
#include <iterator>
#include <string_view>

namespace tarnwell {
namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kCurveEntries = 1024;

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}
void putTag(std::vector<uint8_t>& out, std::string_view signature) {
  out.insert(out.end(), signature.begin(), signature.end());
}
// A signed 15.16 fixed-point number.
void putFixed(std::vector<uint8_t>& out, double v) {
  put32(out, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536.0))));
}

std::vector<uint8_t> xyz(double x, double y, double z) {
  std::vector<uint8_t> out;
  putTag(out, "XYZ ");
  put32(out, 0);
  putFixed(out, x);
  putFixed(out, y);
  putFixed(out, z);
  return out;
}

std::vector<uint8_t> description(std::string_view text) {
  std::vector<uint8_t> out;
  putTag(out, "desc");
  put32(out, 0);
  put32(out, static_cast<uint32_t>(text.size() + 1));
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
  put32(out, 0);  // Unicode language
  put32(out, 0);  // Unicode count
  put16(out, 0);  // ScriptCode code
  out.push_back(0);  // ScriptCode count
  out.insert(out.end(), 67, 0);
  return out;
}

std::vector<uint8_t> text(std::string_view value) {
  std::vector<uint8_t> out;
  putTag(out, "text");
  put32(out, 0);
  out.insert(out.end(), value.begin(), value.end());
  out.push_back(0);
  return out;
}

// The sRGB transfer function: linear near black, a 2.4 power above.
std::vector<uint8_t> toneCurve() {
  std::vector<uint8_t> out;
  putTag(out, "curv");
  put32(out, 0);
  put32(out, kCurveEntries);
  for (size_t i = 0; i < kCurveEntries; ++i) {
    const double v = static_cast<double>(i) / (kCurveEntries - 1);
    const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    put16(out, static_cast<uint32_t>(std::lround(linear * 65535.0)));
  }
  return out;
}

uint32_t read32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
         uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

}  // namespace

std::vector<uint8_t> srgbIccProfile() {
  struct Tag {
    const char* signature;
    std::vector<uint8_t> data;
  };
  const std::vector<uint8_t> curve = toneCurve();
  const Tag tags[] = {
      {"desc", description("sRGB IEC61966-2.1")},
      {"cprt", text("No copyright, use freely")},
      {"wtpt", xyz(0.9505, 1.0, 1.0891)},
      {"rXYZ", xyz(0.4360747, 0.2225045, 0.0139322)},
      {"gXYZ", xyz(0.3850649, 0.7168786, 0.0971045)},
      {"bXYZ", xyz(0.1430804, 0.0606169, 0.7141733)},
      {"rTRC", curve},
      {"gTRC", curve},
      {"bTRC", curve},
  };
  constexpr size_t kTagCount = std::size(tags);
  std::vector<uint8_t> body;
  std::vector<uint8_t> table;
  put32(table, kTagCount);
  size_t offset = kHeaderBytes + 4 + 12 * kTagCount;
  size_t curveOffset = 0;
  for (const Tag& tag : tags) {
    const bool sharedCurve = tag.data == curve && curveOffset != 0;
    const size_t at = sharedCurve ? curveOffset : offset + body.size();
    putTag(table, tag.signature);
    put32(table, static_cast<uint32_t>(at));
    put32(table, static_cast<uint32_t>(tag.data.size()));
    if (sharedCurve) continue;
    if (tag.data == curve) curveOffset = at;
    body.insert(body.end(), tag.data.begin(), tag.data.end());
    while (body.size() % 4 != 0) body.push_back(0);
  }
  std::vector<uint8_t> profile;
  put32(profile, static_cast<uint32_t>(kHeaderBytes + table.size() + body.size()));
  put32(profile, 0);           // preferred CMM
  put32(profile, 0x02100000);  // version 2.1
  putTag(profile, "mntr");
  putTag(profile, "RGB ");
  putTag(profile, "XYZ ");
  for (const uint32_t field : {2024u, 1u, 1u, 0u, 0u, 0u}) put16(profile, field);
  putTag(profile, "acsp");
  profile.resize(64, 0);  // platform, flags, manufacturer, model, attributes
  put32(profile, 0);      // perceptual rendering intent
  putFixed(profile, 0.9642);  // the D50 illuminant of the connection space
  putFixed(profile, 1.0);
  putFixed(profile, 0.8249);
  profile.resize(kHeaderBytes, 0);
  profile.insert(profile.end(), table.begin(), table.end());
  profile.insert(profile.end(), body.begin(), body.end());
  return profile;
}

bool archivalIccProfile(std::span<const uint8_t> profile, unsigned channels) {
  if (profile.size() < kHeaderBytes) return false;
  const uint32_t declared = read32(profile, 0);
  if (declared < kHeaderBytes || declared > profile.size()) return false;
  if (read32(profile, 36) != 0x61637370u) return false;  // "acsp"
  if (profile[8] != 2) return false;
  const uint32_t space = read32(profile, 16);
  switch (channels) {
    case 1: return space == 0x47524159u;  // "GRAY"
    case 3: return space == 0x52474220u;  // "RGB "
    case 4: return space == 0x434D594Bu;  // "CMYK"
    default: return false;
  }
}

}  // namespace tarnwell
