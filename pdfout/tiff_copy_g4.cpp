#include "pdfout/tiff_copy_g4.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tarnwell {

namespace {

int countMessage(TIFF*, void* userData, const char*, const char*, va_list) {
  ++static_cast<TiffMessageCount*>(userData)->count;
  return 0;  // the process-wide handler sees the message too
}

struct OptionsFree {
  void operator()(TIFFOpenOptions* options) const noexcept { TIFFOpenOptionsFree(options); }
};

// Both sides are one strip of one-bit Group 4 data without uncompressed mode, so the output
// strip may hold the source's coded bytes as they are.
bool qualifies(TIFF* in, TIFF* out, const ImageShape& shape) {
  if (shape.inputTiled || shape.outputTiled || shape.bitsPerSample != 1 ||
      shape.samplesPerPixel != 1 || shape.width == 0 || shape.length == 0)
    return false;
  uint16_t inCompression = 0, outCompression = 0;
  if (!TIFFGetField(in, TIFFTAG_COMPRESSION, &inCompression) ||
      !TIFFGetField(out, TIFFTAG_COMPRESSION, &outCompression) ||
      inCompression != COMPRESSION_CCITTFAX4 || outCompression != COMPRESSION_CCITTFAX4)
    return false;
  // Uncompressed mode is an extension the PDF's fax filter is not told about.
  uint32_t group4Options = 0;
  if (TIFFGetField(in, TIFFTAG_GROUP4OPTIONS, &group4Options) &&
      (group4Options & GROUP4OPT_UNCOMPRESSED) != 0)
    return false;
  return TIFFNumberOfStrips(in) == 1 && TIFFNumberOfStrips(out) == 1;
}

// Decodes the coded bytes with libtiff and reports whether that gave every row of the page
// without a single error or warning. A strip that ends early leaves the last row as it was, so
// that row is first filled with a pattern: a last row still equal to it counts as missing (a
// real row that happens to match only costs the fast road).
bool decodesCleanly(TIFF* in, const std::vector<uint8_t>& coded, const ImageShape& shape,
                    const TiffMessageCount& messages) {
  const tmsize_t rowBytes = TIFFScanlineSize(in);
  const tmsize_t pageBytes = TIFFVStripSize(in, shape.length);
  if (!usableBufferSize(rowBytes) || !usableBufferSize(pageBytes) || pageBytes < rowBytes)
    return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(pageBytes), 0);
  const auto lastRow = pixels.end() - rowBytes;
  constexpr uint8_t kPattern = 0xA5;
  std::fill(lastRow, pixels.end(), kPattern);
  // libtiff may bit-reverse its input in place, so it decodes a copy.
  std::vector<uint8_t> input(coded);
  const unsigned long before = messages.count;
  const int decoded =
      TIFFReadFromUserBuffer(in, 0, input.data(), static_cast<tmsize_t>(input.size()),
                             pixels.data(), pageBytes);
  if (decoded != 1 || messages.count != before) return false;
  return std::any_of(lastRow, pixels.end(), [](uint8_t b) { return b != kPattern; });
}

tmsize_t memoryRead(thandle_t handle, void* buffer, tmsize_t size) {
  auto* stream = static_cast<TiffMemoryStream*>(handle);
  if (size <= 0 || stream->position >= stream->bytes.size()) return 0;
  const uint64_t available = stream->bytes.size() - stream->position;
  const auto count = static_cast<std::size_t>(std::min<uint64_t>(available, static_cast<uint64_t>(size)));
  std::memcpy(buffer, stream->bytes.data() + stream->position, count);
  stream->position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t memoryWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t memorySeek(thandle_t handle, toff_t offset, int whence) {
  auto* stream = static_cast<TiffMemoryStream*>(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = stream->position;
  else if (whence == SEEK_END) base = stream->bytes.size();
  else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
  // Offsets are unsigned; a position past the end is allowed, reads there return nothing.
  if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
  stream->position = base + offset;
  return stream->position;
}

int memoryClose(thandle_t) { return 0; }

toff_t memorySize(thandle_t handle) { return static_cast<TiffMemoryStream*>(handle)->bytes.size(); }

int memoryMap(thandle_t, void**, toff_t*) { return 0; }

void memoryUnmap(thandle_t, void*, toff_t) {}

}  // namespace

TiffHandle openMemoryCountingMessages(TiffMemoryStream& stream, const char* name,
                                      TiffMessageCount& messages) {
  messages = TiffMessageCount{};
  stream.position = 0;
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return {};
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), countMessage, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), countMessage, &messages);
  // "m": no mapping; the reads copy from the buffer like plain file reads do.
  TiffHandle handle(TIFFClientOpenExt(name, "rm", &stream, memoryRead, memoryWrite, memorySeek,
                                      memoryClose, memorySize, memoryMap, memoryUnmap,
                                      options.get()));
  messages.counting = handle != nullptr;
  return handle;
}

TiffHandle openCountingMessages(const char* path, const char* mode, TiffMessageCount& messages) {
  messages = TiffMessageCount{};
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return TiffHandle(TIFFOpen(path, mode));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), countMessage, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), countMessage, &messages);
  TiffHandle handle(TIFFOpenExt(path, mode, options.get()));
  messages.counting = handle != nullptr;
  return handle;
}

RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages) {
  if (!messages.counting || !qualifies(in, out, shape)) return RawCopy::NotCopied;
  // Group 4 needs at most a few bits per pixel even for the busiest page; a larger byte count
  // is a header's claim, not data, and is left to the decoding road instead of being allocated.
  const tmsize_t pageBytes = TIFFVStripSize(in, shape.length);
  const uint64_t byteCount = TIFFGetStrileByteCount(in, 0);
  if (pageBytes <= 0 || byteCount == 0 || byteCount > kMaxCopyBufferBytes ||
      byteCount > 8 * static_cast<uint64_t>(pageBytes) + 4096)
    return RawCopy::NotCopied;
  std::vector<uint8_t> coded(static_cast<size_t>(byteCount));
  const unsigned long before = messages.count;
  const tmsize_t got = TIFFReadRawStrip(in, 0, coded.data(), static_cast<tmsize_t>(coded.size()));
  if (got != static_cast<tmsize_t>(coded.size()) || messages.count != before ||
      !decodesCleanly(in, coded, shape, messages))
    return RawCopy::NotCopied;

  uint16_t inFillOrder = FILLORDER_MSB2LSB, outFillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(in, TIFFTAG_FILLORDER, &inFillOrder);
  TIFFGetFieldDefaulted(out, TIFFTAG_FILLORDER, &outFillOrder);
  if (inFillOrder != outFillOrder) {
    TIFFReverseBits(coded.data(), static_cast<tmsize_t>(coded.size()));
  }
  if (TIFFWriteRawStrip(out, 0, coded.data(), static_cast<tmsize_t>(coded.size())) !=
      static_cast<tmsize_t>(coded.size()))
    return RawCopy::WriteFailed;
  return RawCopy::Copied;
}

}  // namespace tarnwell
