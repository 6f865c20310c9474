#pragma once

#include <memory>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// The reader of a file's code, created only for the file that needs it, with the engine's
// settings applied: the engine's TIFF reader for the TIFF-structured codes (9, 15, 16), the AWD
// reader (2), one reader per container, and the raw stream reader for every code outside 1 to
// 17. nullptr when the program has no reader for a container code; the engine then treats the
// file as one it cannot open.
std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format, const EngineSettings& settings);

// The same without settings (the readers' defaults), for tests and fuzzing of single readers.
std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format);

}  // namespace tarnwell
