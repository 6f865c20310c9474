#include "faxin/FormatTable.h"

#include <array>
#include <cstdint>
#include <vector>

#include "faxin/raw/RawFaxReader.h"
#include "faxin/readers/ApfReader.h"
#include "faxin/readers/AwdReader.h"
#include "faxin/readers/BitFaxReader.h"
#include "faxin/readers/BmpReader.h"
#include "faxin/readers/CalsReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/DsReader.h"
#include "faxin/readers/EdReader.h"
#include "faxin/readers/FaxReader.h"
#include "faxin/readers/FxReader.h"
#include "faxin/readers/Ig4Reader.h"
#include "faxin/readers/MrvFaxReader.h"
#include "faxin/readers/PcResearchReader.h"
#include "faxin/readers/QliiFaxReader.h"
#include "faxin/readers/TiffFaxReader.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

template <typename Reader>
std::unique_ptr<FaxReader> make(const EngineSetup& setup) {
  return std::make_unique<Reader>(setup);
}

// A byte of the probed header; bytes past the end of a short file read as zero.
uint8_t headerByte(std::span<const uint8_t> head, std::size_t index) {
  return index < head.size() ? head[index] : 0;
}

constexpr std::size_t kProbeSize = 18;
constexpr std::string_view kPcResearchMark = "PC Research, Inc";

constexpr std::string_view kNotFaxEndings[] = {"sys", "dll", "bat", "lnk", "txt", ".db", "zip", "rar"};
constexpr std::string_view kApfEndings[] = {"APF"};
constexpr std::string_view kAwdEndings[] = {"AWD"};
constexpr std::string_view kBfxEndings[] = {"BFX"};
constexpr std::string_view kBmpEndings[] = {"BMP"};
constexpr std::string_view kCalsEndings[] = {"CAL", "CALS", "RAS", "IMG", "GP4", "MIL", "ODA"};
constexpr std::string_view kDcxEndings[] = {"DCX"};
constexpr std::string_view kDsEndings[] = {"DS"};  // also ".DS"
constexpr std::string_view kEdEndings[] = {"ED"};
constexpr std::string_view kFmfEndings[] = {"FMF"};
constexpr std::string_view kFxEndings[] = {"FXD", "FXM", "FXR", "FXS"};
constexpr std::string_view kG3fEndings[] = {"G3F"};
constexpr std::string_view kIg4Endings[] = {"IG4"};
constexpr std::string_view kQfxEndings[] = {"QFX"};
constexpr std::string_view kTiffEndings[] = {"tif", "tiff"};
constexpr std::string_view kG3nEndings[] = {"G3N"};
constexpr std::string_view kMrvEndings[] = {"MRV"};

// In code order. Code 14 is a container code that no path yields and no reader reads.
const FormatRow kRows[] = {
    {FaxFormat::kNotFax, "never a fax", kNotFaxEndings, nullptr, make<RawFaxReader>, false},
    {FaxFormat::kRaw, "raw Group 3/Group 4 stream", {}, nullptr, make<RawFaxReader>, false},
    {FaxFormat::kApf, "APF10", kApfEndings, nullptr, make<ApfReader>, true},
    {FaxFormat::kAwd, "AWD", kAwdEndings, nullptr, make<AwdReader>, true},
    {FaxFormat::kBfx, "BIT FAX", kBfxEndings, nullptr, make<BitFaxReader>, true},
    {FaxFormat::kBmp, "BMP", kBmpEndings, nullptr, make<BmpReader>, true},
    {FaxFormat::kCals, "CALS raster", kCalsEndings, nullptr, make<CalsReader>, true},
    {FaxFormat::kDcx, "DCX", kDcxEndings, nullptr, make<DcxReader>, true},
    {FaxFormat::kDs, "DS", kDsEndings, nullptr, make<DsReader>, true},
    {FaxFormat::kEd, "ED", kEdEndings, nullptr, make<EdReader>, true},
    {FaxFormat::kFmf, "FMF", kFmfEndings, nullptr, make<TiffFaxReader>, true},
    {FaxFormat::kFx, "FX", kFxEndings, nullptr, make<FxReader>, true},
    {FaxFormat::kPcResearch, "PC Research G3", kG3fEndings, probeG3fHeader,
     make<PcResearchReader>, true},
    {FaxFormat::kIg4, "IG4", kIg4Endings, nullptr, make<Ig4Reader>, true},
    {FaxFormat::kQfx, "QLIIFAX", kQfxEndings, nullptr, make<QliiFaxReader>, true},
    {static_cast<FaxFormat>(14), "", {}, nullptr, nullptr, true},
    {FaxFormat::kTiff, "TIFF", kTiffEndings, nullptr, make<TiffFaxReader>, true},
    {FaxFormat::kTiffFax, "TIFF fax", kG3nEndings, nullptr, make<TiffFaxReader>, true},
    {FaxFormat::kMrv, "MRV-FAX", kMrvEndings, nullptr, make<MrvFaxReader>, true},
};

}  // namespace

std::span<const FormatRow> formatTable() { return kRows; }

const FormatRow& formatRow(FaxFormat code) {
  const FormatRow* raw = nullptr;
  for (const FormatRow& row : kRows) {
    if (row.code == code) return row;
    if (row.code == FaxFormat::kRaw) raw = &row;
  }
  return *raw;
}

bool isContainerCode(FaxFormat format) { return formatRow(format).container; }

FaxFormat probeG3fHeader(const std::string& path) {
  std::vector<uint8_t> head;
  if (!platform::readFileHead(path, kProbeSize, head)) return FaxFormat::kRaw;
  if (headerByte(head, 2) == 0x2A && headerByte(head, 3) == 0x00) return FaxFormat::kTiffFax;
  for (std::size_t i = 0; i < kPcResearchMark.size(); ++i)
    if (headerByte(head, 1 + i) != static_cast<uint8_t>(kPcResearchMark[i])) return FaxFormat::kRaw;
  return FaxFormat::kPcResearch;
}

}  // namespace tarnwell
