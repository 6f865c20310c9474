#include "faxin/tiff/RepackTiff.h"

#include <exception>

#include "faxin/tiff/FaxTiffWriter.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

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
      if (writePreparedPage(writer, page, FaxPage{}, i, count) != 0) break;
    }
    return writer.close() == 0 ? 0 : -4;
  } catch (const std::exception&) {
    return -4;
  }
}

}  // namespace tarnwell
