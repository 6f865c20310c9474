#include "pdfout/tiff_copy.h"

#include <optional>

#include "pdfout/tiff_copy_g4.h"
#include "pdfout/tiff_copy_handle.h"
#include "pdfout/tiff_copy_image.h"
#include "pdfout/tiff_copy_source.h"
#include "pdfout/tiff_copy_strategies.h"

namespace tarnwell {

namespace {

constexpr int kOutputFailed = -2;
constexpr int kSourceFailed = -3;
constexpr int kImageFailed = 1;

// Copies the source's current directory into the output's current directory. A clean one-strip
// Group 4 page going to Group 4 keeps its coded bytes; every other page is decoded and encoded.
bool copyImage(TIFF* in, TIFF* out, const CopySettings& settings, bool tiledOutput,
               const char* sourceName, const TiffMessageCount& messages) {
  ImageShape shape;
  if (!setUpOutputImage(in, out, settings, tiledOutput, sourceName, shape)) return false;
  switch (copyGroup4Unchanged(in, out, shape, messages)) {
    case RawCopy::Copied:
      return true;
    case RawCopy::WriteFailed:
      return false;
    case RawCopy::NotCopied:
      break;
  }
  return copyImageData(in, out, shape, sourceName);
}

int copyFile(const std::string& sourceName, const std::string& outputPath,
             const TiffCopyOptions& options) {
  const CopySettings settings = copySettingsFor(options);
  TiffHandle out(TIFFOpen(outputPath.c_str(), options.append != 0 ? "a" : "w"));
  if (!out) return kOutputFailed;

  const SourceName source = splitSourceName(sourceName);
  TiffMessageCount messages;
  // "m": read with plain reads instead of mapping the file, so the memory the copy holds stays
  // one page's worth however many pages the file has.
  TiffHandle in = openCountingMessages(source.fileName.c_str(), "rm", messages);
  if (!in) return kSourceFailed;
  std::optional<ImageList> list;
  if (source.hasList) {
    list.emplace(source.fileName, source.list);
    if (list->selectNext(in.get()) != ImageList::Step::Selected) return kSourceFailed;
  }

  // With tiling -1 the first image decides the layout of every image of this call.
  const bool tiledOutput =
      settings.tiling == -1 ? TIFFIsTiled(in.get()) != 0 : settings.tiling != 0;
  const char* fileName = source.fileName.c_str();
  for (;;) {
    // An image that cannot be copied, for whatever reason (memory included), fails the whole
    // copy: a PDF that silently lacks a page would be worse than a reported failure.
    if (!copyImage(in.get(), out.get(), settings, tiledOutput, fileName, messages) ||
        !TIFFWriteDirectory(out.get())) {
      return kImageFailed;
    }

    if (list) {
      if (list->selectNext(in.get()) != ImageList::Step::Selected) break;
    } else if (!TIFFReadDirectory(in.get())) {
      break;
    }
  }
  return 0;
}

}  // namespace

int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                   const TiffCopyOptions& options) {
  try {
    return copyFile(sourceName, outputPath, options);
  } catch (...) {
    return kImageFailed;
  }
}

int tiff_copy_file(const std::string& sourceName, const std::string& outputPath,
                   const TiffCopyOptions& options, int32_t compression) {
  TiffCopyOptions chosen = options;
  chosen.compression = compression;
  return tiff_copy_file(sourceName, outputPath, chosen);
}

}  // namespace tarnwell
