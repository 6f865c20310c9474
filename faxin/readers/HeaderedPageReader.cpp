#include "faxin/readers/HeaderedPageReader.h"

#include "faxin/tiff/FaxTiffWriter.h"

namespace tarnwell {

int HeaderedPageReader::loadDataBehindHeader(uint64_t dataPosition, uint32_t size) {
  if (const int loaded = loadPageData(dataPosition, size); loaded != 0) return loaded;
  return pageData().empty() ? -1 : 0;
}

int HeaderedPageReader::readPage(int index, FaxPage& page) {
  HeaderedPage loaded;
  if (const int result = loadPage(static_cast<std::size_t>(index), loaded); result != 0) {
    return result;
  }
  // Codings outside 3 to 7 are not decoded: the record keeps its values.
  if (decodeByHeader(pageData(), loaded.geometry, page, describeLimits()) < 0) return -1;
  page.resolutionUnit = 2;
  page.xResolution = loaded.xResolution;
  page.yResolution = loaded.yResolution;
  return 0;
}

int HeaderedPageReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  clearPageData();
  HeaderedPage loaded;
  if (loadPage(static_cast<std::size_t>(index), loaded) != 0) {
    return leaveOut(pageData().empty() ? LeftOutReason::kNoData : LeftOutReason::kUndecodable);
  }
  HeaderGeometry& geometry = loaded.geometry;
  // A coding the fax TIFF has no compression for cannot be copied: writing it as uncompressed
  // would turn coded bytes into a picture of noise. Such a page is left out (by the write, which
  // names its coding).
  if (!FaxTiffWriter::knowsCoding(geometry.coding)) {
    out.coding = geometry.coding;
    return 0;
  }
  // A page that does not decode keeps its header's row count. The decoded count never exceeds
  // the header's, which is its limit.
  if (recountLines_ && decodeByHeader(pageData(), geometry, page, describeLimits()) >= 0 &&
      page.rows > 0) {
    geometry.rows = static_cast<uint32_t>(page.rows);
  }
  // Uncompressed and PackBits pages never claim more rows than their data holds.
  geometry.rows = rowsHeldByData(pageData(), geometry, describeLimits());
  if (geometry.rows == 0) {
    return leaveOut(pageData().empty() ? LeftOutReason::kNoData : LeftOutReason::kNoRows);
  }
  out.form = PageToWrite::Form::kCoded;
  out.data = pageData();
  out.coding = geometry.coding;
  out.photometric = 0;
  out.fillOrder = geometry.fillOrder;
  out.width = geometry.width;
  out.rows = geometry.rows;
  out.xResolution = loaded.xResolution;
  out.yResolution = loaded.yResolution;
  out.resolutionUnit = 2;
  return 0;
}

}  // namespace tarnwell
