#include "faxin/RepackTiff.h"

#include <exception>

#include "faxin/TiffFaxReader.h"

namespace tarnwell {

bool writeCodedPage(FaxTiffWriter& writer, const PageToWrite& page, uint16_t index,
                    uint16_t count) {
  writer.setCompression(page.compression, page.t4Options, page.t6Options);
  writer.setPhotometric(page.photometric);
  writer.setFillOrder(page.fillOrder);
  writer.setSize(page.width, page.rows);
  writer.setPageNumber(index, count);
  int64_t directory = -1;
  const std::size_t strips = page.stripStarts.size();
  if (strips > 1 && page.stripByteCounts.size() == strips &&
      writer.setStrips(static_cast<uint16_t>(strips), page.rowsPerStrip, page.stripStarts,
                       page.stripByteCounts) == 0) {
    directory = writer.writeStrippedPage(page.data, page.xResolution, page.yResolution,
                                         page.resolutionUnit);
  } else {
    directory = writer.writePage(page.data, page.xResolution, page.yResolution,
                                 page.resolutionUnit);
  }
  return writer.writeDirectory(directory) == 0;
}

int repackTiff(const std::string& sourcePath, const std::string& outputPath, bool append) {
  try {
    TiffFaxReader source;
    if (!source.open(sourcePath)) return -1;
    if (source.checkHeader() != 0) return -2;
    const uint16_t count = source.countPages();
    if (count == 0) return -2;

    FaxTiffWriter writer(outputPath, FaxTiffWriter::kLittleEndian,
                         append ? FaxTiffWriter::Mode::kAppend : FaxTiffWriter::Mode::kCreate);
    if (!append) (void)writer.writeHeader();
    writer.initDirectory();
    for (uint16_t i = 0; i < count; ++i) {
      if (source.readDirectory(source.pagePosition(i)) <= 0) {
        (void)writer.close();
        return -3;
      }
      TiffPageInfo info = source.parseDirectory();
      if (source.collectStrips(info) != 0) {
        (void)writer.close();
        return -4;
      }
      PageToWrite page;
      source.pageForWriting(info, page);
      if (!writeCodedPage(writer, page, i, count)) break;
    }
    return writer.close() == 0 ? 0 : -4;
  } catch (const std::exception&) {
    return -4;
  }
}

}  // namespace tarnwell
