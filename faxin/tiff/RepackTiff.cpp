#include "faxin/tiff/RepackTiff.h"

#include <exception>

#include "faxin/tiff/FaxTiffWriter.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/readers/FaxReader.h"
#include "platform/Platform.h"

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

int writeEachPageGathered(FaxReader& reader, const std::string& outputPath, uint16_t count) {
  auto pageFile = [&outputPath](int i) {
    return FaxReader::pageFileName(outputPath, FaxReader::kFirstPageFileNumber + i);
  };
  // A page left out writes no file: a file of the same name from an earlier source must not
  // take its place.
  for (int i = 0; i < count; ++i) (void)platform::removeFile(pageFile(i));
  const int written = reader.writeEachPage(outputPath, count);

  // Without a scratch TIFF the pages are gathered straight into the output.
  const std::string& scratch = reader.scratchTiffPath();
  const std::string& gathered = scratch.empty() ? outputPath : scratch;
  (void)platform::removeFile(gathered);
  bool anyPage = false;
  for (int i = 0; i < count; ++i) {
    const std::string name = pageFile(i);
    if (!platform::isRegularFile(name)) continue;
    if (!anyPage) (void)platform::removeFile(gathered);  // begun again until it holds a page
    if (repackTiff(name, gathered, true) == 0) anyPage = true;
    (void)platform::removeFile(name);
  }
  int result = written != 0 ? written : anyPage ? 0 : FaxReader::kWriteNoPage;
  if (result == 0 && gathered != outputPath) {
    // Copying the gathered pages numbers them (index, count) within the whole file.
    result = repackTiff(gathered, outputPath, false);
  }
  if (gathered != outputPath) (void)platform::removeFile(gathered);
  return result;
}

}  // namespace tarnwell
