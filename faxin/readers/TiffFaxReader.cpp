#include "faxin/readers/TiffFaxReader.h"

#include <array>
#include <limits>
#include <new>

#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

namespace {

// Header results of the reader.
constexpr int kHeaderNotReadable = -3;

}  // namespace

TiffFaxReader::TiffFaxReader(const EngineSetup& setup) : FaxReader(setup) {}
TiffFaxReader::~TiffFaxReader() = default;

int TiffFaxReader::readHeader() {
  file_.clear();
  entries_.clear();
  stripSizes_.clear();
  header_ = TiffHeader{};
  previousDirectory_ = nextDirectory_ = 0;
  // The header decides before the whole file is taken into memory.
  std::array<uint8_t, 8> head{};
  if (!readAt(0, head)) return kHeaderNotReadable;
  TiffView headView(head);
  const int result = headView.readHeader(header_);
  if (result != 0) return result;
  bigEndian_ = headView.bigEndian();
  if (!readWholeFile(file_)) return kHeaderNotReadable;
  return 0;
}

uint16_t TiffFaxReader::indexPages() {
  TiffView view(file_, bigEndian_);
  for (uint32_t position : view.walkChain(header_.firstDirectory)) {
    if (addPage(position) != 0) break;
  }
  return pageCount();
}

int TiffFaxReader::readDirectory(uint32_t position) {
  if (file_.empty()) return position == 0 ? -1 : -5;
  TiffView view(file_, bigEndian_);
  uint32_t next = 0;
  int count = view.readDirectory(position, entries_, next);
  if (count < 0) {
    entries_.clear();
    return count;
  }
  previousDirectory_ = nextDirectory_;
  nextDirectory_ = next;
  return count;
}

TiffPageInfo TiffFaxReader::parseDirectory() const {
  return TiffView(file_, bigEndian_).parseDirectory(entries_);
}

int TiffFaxReader::collectStrips(const TiffPageInfo& info) {
  try {
    TiffView view(file_, bigEndian_);
    std::vector<TiffStrip> strips = view.strips(info);
    std::size_t total = 0;
    for (const TiffStrip& s : strips) total += s.size;  // bounded by the file size
    std::vector<uint8_t> data;
    data.reserve(total);
    stripSizes_.clear();
    stripSizes_.reserve(strips.size());
    for (const TiffStrip& s : strips) {
      std::span<const uint8_t> bytes = view.bytes(s);
      data.insert(data.end(), bytes.begin(), bytes.end());
      stripSizes_.push_back(s.size);
    }
    setPageData(std::move(data));
    return 0;
  } catch (const std::bad_alloc&) {
    clearPageData();
    stripSizes_.clear();
    return -1;
  }
}

void TiffFaxReader::pageForWriting(const TiffPageInfo& info, PageToWrite& out) const {
  out = PageToWrite{};
  out.form = PageToWrite::Form::kCoded;
  out.data = pageData();
  out.useCompression = true;
  out.compression = static_cast<uint16_t>(info.compression);
  out.t4Options = info.t4Options;
  out.t6Options = info.t6Options;
  // libtiff knows only fill orders 1 and 2 and takes any other value as 1.
  out.fillOrder = info.fillOrder == 2 ? 2 : 1;
  // The colour sense travels with the page; a BlackIsZero page would otherwise come out inverted.
  out.photometric = static_cast<uint16_t>(info.photometric);
  out.width = info.width;
  out.rows = info.length;
  out.xResolution = info.xResolution();
  out.yResolution = info.yResolution();
  out.resolutionUnit = static_cast<uint16_t>(info.resolutionUnit);

  // A page of several strips keeps them apart when the strip table matches RowsPerStrip: each
  // Group 4 strip (and each two-dimensional Group 3 strip) starts from a white reference row and
  // may end in its own end-of-block code, so joining them would lose every row behind the first.
  const std::size_t strips = stripSizes_.size();
  if (strips > 1 && info.rowsPerStrip > 0 && info.rowsPerStrip < info.length &&
      info.rowsPerStrip <= std::numeric_limits<uint16_t>::max() &&
      strips <= std::numeric_limits<uint16_t>::max()) {
    const uint64_t needed = (uint64_t{info.length} + info.rowsPerStrip - 1) / info.rowsPerStrip;
    if (needed == strips) {
      out.rowsPerStrip = static_cast<uint16_t>(info.rowsPerStrip);
      uint32_t start = 0;
      for (uint32_t size : stripSizes_) {
        out.stripStarts.push_back(start);
        out.stripByteCounts.push_back(size);
        start += size;
      }
    }
  }
}

int TiffFaxReader::readPage(int index, FaxPage& page) {
  if (index < 0 || index >= pageCount()) return -1;
  if (readDirectory(pagePosition(static_cast<std::size_t>(index))) <= 0) return -1;
  describeTiffPage(TiffView(file_, bigEndian_), parseDirectory(), page, describeLimits());
  return 0;
}

int TiffFaxReader::preparePage(int index, FaxPage&, PageToWrite& out) {
  // A directory that cannot be read stops the copy; the pages before it stay written.
  if (readDirectory(pagePosition(static_cast<std::size_t>(index))) <= 0) return -3;
  TiffPageInfo info = parseDirectory();
  if (collectStrips(info) != 0) return -3;
  pageForWriting(info, out);
  return 0;
}

}  // namespace tarnwell
