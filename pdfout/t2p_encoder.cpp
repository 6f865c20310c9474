#include "pdfout/t2p_encoder.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace tarnwell {
namespace {

// A TIFF file held in memory, for libtiff's client I/O.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t position = 0;
};

MemoryFile& fileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t memoryRead(thandle_t handle, void* data, tmsize_t size) {
  MemoryFile& file = fileOf(handle);
  if (size < 0 || file.position >= file.bytes.size()) return 0;
  const uint64_t available = file.bytes.size() - file.position;
  const uint64_t n = std::min<uint64_t>(available, static_cast<uint64_t>(size));
  std::memcpy(data, file.bytes.data() + file.position, static_cast<size_t>(n));
  file.position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t memoryWrite(thandle_t handle, void* data, tmsize_t size) {
  MemoryFile& file = fileOf(handle);
  if (size < 0) return -1;
  const uint64_t end = file.position + static_cast<uint64_t>(size);
  try {
    if (end > file.bytes.size()) file.bytes.resize(static_cast<size_t>(end));
  } catch (const std::exception&) {
    return -1;
  }
  if (size > 0) std::memcpy(file.bytes.data() + file.position, data, static_cast<size_t>(size));
  file.position = end;
  return size;
}

toff_t memorySeek(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& file = fileOf(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = file.position;
  if (whence == SEEK_END) base = file.bytes.size();
  file.position = base + offset;
  return file.position;
}

int memoryClose(thandle_t) { return 0; }
toff_t memorySize(thandle_t handle) { return fileOf(handle).bytes.size(); }
int memoryMap(thandle_t, void**, toff_t*) { return 0; }
void memoryUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// Encodes the samples as one Group 4 strip; the strip's bytes go to `coded`.
bool encodeGroup4(const EncodeRequest& request, std::vector<uint8_t>& coded) {
  MemoryFile file;
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpen("trnw2pdf-encoder", "w", &file,
                                                       memoryRead, memoryWrite, memorySeek,
                                                       memoryClose, memorySize, memoryMap,
                                                       memoryUnmap));
  if (!tif) return false;
  TIFF* t = tif.get();
  if (TIFFSetField(t, TIFFTAG_PHOTOMETRIC, request.photometric) == 0 ||
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, request.bitsPerSample) == 0 ||
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, request.samplesPerPixel) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, request.width) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 0 ||
      TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) == 0 ||
      TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) == 0) {
    return false;
  }
  const uint64_t stripSize = t2p_row_bytes(request.width, request.bitsPerSample,
                                           request.samplesPerPixel) * request.length;
  if (stripSize > request.samples.size()) return false;
  // libtiff's encoder takes a writable buffer although it only reads it.
  std::vector<uint8_t> input(request.samples.begin(), request.samples.begin() + stripSize);
  if (TIFFWriteEncodedStrip(t, 0, input.data(), static_cast<tmsize_t>(stripSize)) < 0) {
    return false;
  }
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  if (TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) == 0 ||
      TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) == 0 || offsets == nullptr ||
      counts == nullptr) {
    return false;
  }
  const uint64_t offset = offsets[0], count = counts[0];
  if (offset > file.bytes.size() || count > file.bytes.size() - offset) return false;
  coded.assign(file.bytes.begin() + static_cast<ptrdiff_t>(offset),
               file.bytes.begin() + static_cast<ptrdiff_t>(offset + count));
  return true;
}

}  // namespace

uint64_t t2p_row_bytes(uint32_t width, uint16_t bitsPerSample, uint16_t samplesPerPixel) {
  return (uint64_t{width} * bitsPerSample * samplesPerPixel + 7) / 8;
}

bool t2p_encode_image(const EncodeRequest& request, PdfSink& out, uint64_t& written) {
  written = 0;
  if (request.pdfCompression == kPdfCompressionNone) {
    written = out.write(request.samples.data(), request.samples.size());
    return written == request.samples.size();
  }
  std::vector<uint8_t> coded;
  try {
    if (!encodeGroup4(request, coded)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  written = out.write(coded.data(), coded.size());
  return written == coded.size();
}

}  // namespace tarnwell
