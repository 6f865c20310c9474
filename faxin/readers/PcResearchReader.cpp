#include "faxin/readers/PcResearchReader.h"

#include <string_view>
#include <vector>

#include "faxin/readers/ByteFields.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

namespace {

constexpr std::string_view kMark = "PC Research, Inc";

// Sunday's quick search: positions of every occurrence of kMark in `bytes` from `from` on, handed
// to `found` until it returns false. After a mismatch the window moves by the skip of the byte
// just behind it.
template <typename Found>
void findMarks(std::span<const uint8_t> bytes, std::size_t from, Found found) {
  const std::size_t m = kMark.size();
  std::array<std::size_t, 256> skip{};
  skip.fill(m + 1);
  for (std::size_t i = 0; i < m; ++i) skip[static_cast<uint8_t>(kMark[i])] = m - i;
  const ByteFields fields(bytes);
  std::size_t at = from;
  while (fields.fits(at, m)) {
    if (fields.matches(at, kMark)) {
      if (!found(at)) return;
      ++at;
      continue;
    }
    uint8_t next = 0;
    if (!fields.u8(at + m, next)) return;
    at += skip[next];
  }
}

}  // namespace

int PcResearchReader::readHeader() {
  header_.fill(0);
  if (!readAt(0, header_)) return -2;
  const ByteFields fields(header_);
  uint8_t first = 1;
  fields.u8(0, first);
  return first == 0 && fields.matches(1, kMark) ? 0 : -3;
}

uint16_t PcResearchReader::indexPages() {
  std::vector<uint8_t> bytes;
  if (fileSize() == 0 || !readWholeFile(bytes)) return 0;
  (void)addPage(0);
  // A page begins one byte before each mark; the search starts behind the first page's mark.
  findMarks(bytes, 2, [this](std::size_t at) {
    return addPage(static_cast<uint32_t>(at - 1)) == 0;
  });
  return pageCount();
}

int PcResearchReader::readPage(int index, FaxPage& page) {
  clearPageData();
  const auto i = static_cast<std::size_t>(index);
  if (i >= pageCount()) return -1;
  const uint64_t start = pagePosition(i);
  if (!readAt(start, header_)) return -2;
  const uint64_t end = i + 1 < pageCount() ? pagePosition(i + 1) : fileSize();
  // A page header with no data behind it before the next one holds no page.
  if (end <= start + kHeaderSize) return -1;
  if (const int loaded = loadPageData(start + kHeaderSize, end - start - kHeaderSize); loaded != 0) {
    return loaded;
  }
  const int decoded = describeByProbe(pageData(), {kPageWidth, kRowLimit, false}, page);
  if (decoded == -1) return -1;  // coding not recognised: the record keeps its values
  page.resolutionUnit = 2;
  page.xResolution = 200;
  page.yResolution = 200;
  return decoded;
}

int PcResearchReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  const int read = readPage(index, page);
  if (read != 0 || !passThroughDecoded(page, pageData(), out)) return leaveOut(reasonFor(read));
  return 0;
}

}  // namespace tarnwell
