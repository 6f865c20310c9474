#include "faxin/FormatClassifier.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

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

bool endsWithAny(std::string_view path, std::initializer_list<std::string_view> literals) {
  for (std::string_view literal : literals)
    if (endsWith(path, literal)) return true;
  return false;
}

// A byte of the probed header; bytes past the end of a short file read as zero.
uint8_t headerByte(std::span<const uint8_t> head, std::size_t index) {
  return index < head.size() ? head[index] : 0;
}

constexpr std::size_t kProbeSize = 18;
constexpr std::string_view kPcResearchMark = "PC Research, Inc";

}  // namespace

FaxFormat probeG3fHeader(const std::string& path) {
  std::vector<uint8_t> head;
  if (!platform::readFileHead(path, kProbeSize, head)) return FaxFormat::kRaw;
  if (headerByte(head, 2) == 0x2A && headerByte(head, 3) == 0x00) return FaxFormat::kTiffFax;
  for (std::size_t i = 0; i < kPcResearchMark.size(); ++i)
    if (headerByte(head, 1 + i) != static_cast<uint8_t>(kPcResearchMark[i])) return FaxFormat::kRaw;
  return FaxFormat::kPcResearch;
}

FaxFormat classifyFile(const std::string& path) {
  using enum FaxFormat;
  const std::string_view p = path;
  if (endsWith(p, "tif") || endsWith(p, "tiff")) return kTiff;
  if (endsWith(p, "FMF")) return kFmf;
  if (endsWithAny(p, {"FXD", "FXM", "FXR", "FXS"})) return kFx;
  if (endsWith(p, "BFX")) return kBfx;
  if (endsWith(p, "BMP")) return kBmp;
  if (endsWith(p, "DCX")) return kDcx;
  if (endsWithAny(p, {"CAL", "CALS", "RAS", "IMG", "GP4", "MIL", "ODA"})) return kCals;
  if (endsWith(p, "APF")) return kApf;
  if (endsWith(p, "AWD")) return kAwd;
  if (endsWith(p, "IG4")) return kIg4;
  if (endsWith(p, "QFX")) return kQfx;
  if (endsWith(p, "G3F")) return probeG3fHeader(path);
  if (endsWith(p, "G3N")) return kTiffFax;
  if (endsWith(p, "DS")) return kDs;  // also covers ".DS"
  if (endsWith(p, "ED")) return kEd;
  if (endsWith(p, "MRV")) return kMrv;
  if (endsWithAny(p, {"sys", "dll", "bat", "lnk", "txt", ".db", "zip", "rar"})) return kNotFax;
  return kRaw;
}

}  // namespace tarnwell
