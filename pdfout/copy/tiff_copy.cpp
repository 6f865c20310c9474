#include "pdfout/copy/tiff_copy.h"

#include <optional>

#include "pdfout/copy/tiff_copy_g4.h"
#include "pdfout/copy/tiff_copy_image.h"
#include "pdfout/copy/tiff_copy_source.h"
#include "pdfout/copy/tiff_copy_strategies.h"
#include "pdfout/tiffio/messages.h"
#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {

namespace {

constexpr TiffCopyResult kCopied = TiffCopyResult::kCopied;
constexpr TiffCopyResult kOutputFailed = TiffCopyResult::kOutputFailed;
constexpr TiffCopyResult kSourceFailed = TiffCopyResult::kSourceFailed;
constexpr TiffCopyResult kImageFailed = TiffCopyResult::kImageFailed;

// True for a page in strips, or in tiles of the sizes TIFF allows (multiples of 16) with a
// position and a byte count for every tile of the page. libtiff takes the tiles a file does not
// list as empty, so a header of a hundred bytes could otherwise make the copy and the PDF visit
// tens of thousands of tiles.
bool tilesCoverPage(TIFF* in) {
  if (!TIFFIsTiled(in)) return true;
  uint32_t tileWidth = 0, tileLength = 0;
  if (!TIFFGetField(in, TIFFTAG_TILEWIDTH, &tileWidth) ||
      !TIFFGetField(in, TIFFTAG_TILELENGTH, &tileLength) || tileWidth == 0 || tileLength == 0 ||
      tileWidth % 16 != 0 || tileLength % 16 != 0) {
    return false;
  }
  const uint32_t tiles = TIFFNumberOfTiles(in);
  for (uint32_t tile = 0; tile < tiles; ++tile) {
    if (TIFFGetStrileOffset(in, tile) == 0 || TIFFGetStrileByteCount(in, tile) == 0) return false;
  }
  return tiles > 0;
}

// Copies the source's current directory into the output's current directory. A clean one-strip
// Group 4 page going to Group 4 keeps its coded bytes; every other page is decoded and encoded.
bool copyImage(TIFF* in, TIFF* out, const CopySettings& settings, bool tiledOutput,
               const char* sourceName, const TiffMessageCount& messages, bool knownWhole,
               WholeStripChecks* later) {
  ImageShape shape;
  if (!tilesCoverPage(in)) return false;
  if (!setUpOutputImage(in, out, settings, tiledOutput, sourceName, shape)) return false;
  switch (copyGroup4Unchanged(in, out, shape, messages, knownWhole, later)) {
    case RawCopy::Copied:
      return true;
    case RawCopy::WriteFailed:
      return false;
    case RawCopy::NotCopied:
      break;
  }
  return copyImageData(in, out, shape, sourceName);
}

// Copies every image of the open source `in` (or those of `list`) into `out`. The directories
// marked in `wholeGroup4` hold Group 4 strips known to decode whole; with `later`, other Group 4
// strips may be copied before their check ends (see copyGroup4Unchanged).
// On failure `failedDirectory` is the source directory that could not be copied.
TiffCopyResult copyImages(TIFF* in, TIFF* out, const CopySettings& settings,
                          std::optional<ImageList>& list, const char* fileName,
                          const TiffMessageCount& messages, const std::vector<bool>& wholeGroup4,
                          WholeStripChecks* later, long& failedDirectory) {
  if (list && list->selectNext(in) != ImageList::Step::Selected) return kSourceFailed;

  // With tiling -1 the first image decides the layout of every image of this call.
  const bool tiledOutput = settings.tiling == -1 ? TIFFIsTiled(in) != 0 : settings.tiling != 0;
  for (;;) {
    // An image that cannot be copied, for whatever reason (memory included), fails the whole
    // copy: a PDF that silently lacks a page would be worse than a reported failure.
    const tdir_t directory = TIFFCurrentDirectory(in);
    const bool knownWhole = directory < wholeGroup4.size() && wholeGroup4[directory];
    if (!copyImage(in, out, settings, tiledOutput, fileName, messages, knownWhole, later) ||
        !TIFFWriteDirectory(out)) {
      failedDirectory = static_cast<long>(TIFFCurrentDirectory(in));
      return kImageFailed;
    }

    if (list) {
      if (list->selectNext(in) != ImageList::Step::Selected) break;
    } else if (!TIFFReadDirectory(in)) {
      break;
    }
  }
  return kCopied;
}

TiffCopyResult copyFileOnce(const std::string& sourceName, const std::string& outputPath,
                            const TiffCopyOptions& options, const std::vector<bool>& wholeGroup4,
                            WholeStripChecks* later, long& failedDirectory) {
  const CopySettings settings = copySettingsFor(options);
  const SourceName source = splitSourceName(sourceName);
  TiffHandle out = openOutput(outputPath.c_str(), options.append != 0 ? "a" : "w",
                              allocationBudget(source.fileName.c_str()));
  if (!out) return kOutputFailed;

  TiffMessageCount messages;
  // "m": read with plain reads instead of mapping the file, so the memory the copy holds stays
  // one page's worth however many pages the file has.
  TiffHandle in = openCountingMessages(source.fileName.c_str(), "rm", messages);
  if (!in) return kSourceFailed;
  std::optional<ImageList> list;
  if (source.hasList) list.emplace(source.fileName, source.list);
  return copyImages(in.get(), out.get(), settings, list, source.fileName.c_str(), messages,
                    wholeGroup4, later, failedDirectory);
}

// Copies the file with the Group 4 checks on up to `checkHelpers` other cores: each strip goes
// in as soon as it is read, and the check runs beside the copy. Damaged strips are rare; when
// one turns up the file is copied once more, each strip checked before it goes in, so the
// result is always the same as a copy that checks first.
TiffCopyResult copyFile(const std::string& sourceName, const std::string& outputPath,
                        const TiffCopyOptions& options, const std::vector<bool>& wholeGroup4,
                        int checkHelpers, long& failedDirectory) {
  // An appending copy cannot be done twice.
  if (options.append != 0) {
    return copyFileOnce(sourceName, outputPath, options, wholeGroup4, nullptr, failedDirectory);
  }
  std::vector<bool> marks = wholeGroup4;
  {
    WholeStripChecks checks(checkHelpers);
    const TiffCopyResult result =
        copyFileOnce(sourceName, outputPath, options, wholeGroup4, &checks, failedDirectory);
    if (checks.markWhole(marks) || result != kCopied) return result;
  }
  failedDirectory = -1;
  return copyFileOnce(sourceName, outputPath, options, marks, nullptr, failedDirectory);
}

TiffCopyResult copyBuffer(std::span<const uint8_t> source, const std::string& outputPath,
                          const TiffCopyOptions& options) {
  const CopySettings settings = copySettingsFor(options);
  TiffHandle out = openOutput(outputPath.c_str(), options.append != 0 ? "a" : "w",
                              pageBufferBudget(source.size()));
  if (!out) return kOutputFailed;

  TiffMemoryStream stream{source};
  TiffMessageCount messages;
  constexpr const char* kName = "memory";
  TiffHandle in = openMemoryCountingMessages(stream, kName, messages);
  if (!in) return kSourceFailed;
  std::optional<ImageList> list;
  long failedDirectory = -1;
  return copyImages(in.get(), out.get(), settings, list, kName, messages, {}, nullptr,
                    failedDirectory);
}

}  // namespace

const char* tiffCopyResultText(TiffCopyResult result) {
  switch (result) {
    case kCopied: return "copied";
    case kImageFailed: return "an image cannot be copied";
    case kOutputFailed: return "the PDF-ready TIFF cannot be written";
    case kSourceFailed: return "not a TIFF file libtiff can open";
  }
  return "the TIFF copy failed";
}

TiffCopyOutcome tiff_copy_file(const TiffCopyRequest& request) {
  const CallMessages messages;
  long failedDirectory = -1;
  TiffCopyOutcome outcome;
  try {
    outcome.result = copyFile(request.source, request.output, request.options,
                              request.wholeGroup4, request.checkHelpers, failedDirectory);
  } catch (...) {
    outcome.result = kImageFailed;
  }
  const TiffCopyResult result = outcome.result;
  if (result == kCopied) return outcome;
  try {
    std::string detail =
        messages.firstError().empty() ? tiffCopyResultText(result) : messages.firstError();
    // libtiff and the copy begin many messages with the file's name, which the caller knows.
    const std::string named = request.source + ": ";
    if (detail.size() > named.size() && detail.compare(0, named.size(), named) == 0)
      detail.erase(0, named.size());
    outcome.reason = failedDirectory >= 0
                         ? "TIFF directory " + std::to_string(failedDirectory + 1) + ": " + detail
                         : detail;
  } catch (...) {
    // Out of memory: the caller gives its own words.
  }
  return outcome;
}

TiffCopyResult tiff_copy_buffer(std::span<const uint8_t> source, const std::string& outputPath,
                                const TiffCopyOptions& options) {
  try {
    return copyBuffer(source, outputPath, options);
  } catch (...) {
    return kImageFailed;
  }
}

}  // namespace tarnwell
