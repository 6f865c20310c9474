#pragma once

#include <string>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// Copies every page of a TIFF (the scratch TIFF of the AWD converter, or a page file of the DS
// reader) into the intermediate TIFF at outputPath, each page keeping its own coded bytes and
// coding. With `append` the pages go behind the last page of an intermediate TIFF made before.
// 0; -1 the source cannot be opened; -2 not a TIFF or no page; -3 a page directory cannot be read
// (the pages before it stay written); -4 the output could not be written.
[[nodiscard]] int repackTiff(const std::string& sourcePath, const std::string& outputPath,
                             bool append);

// The engine's write step for a reader whose writesPageFiles() is true: each page is first
// written into a page file of its own (writeEachPage) and the page files are then gathered in
// page order into outputPath (through the reader's scratch TIFF, so that the pages are numbered
// within the whole file) and removed; page files an earlier file left under the same names are
// removed first. 0; writeEachPage's negative result when its write failed;
// FaxReader::kWriteNoPage when no page file could be gathered; otherwise the result of copying
// the gathered pages.
int writeEachPageGathered(FaxReader& reader, const std::string& outputPath, uint16_t count);

}  // namespace tarnwell
