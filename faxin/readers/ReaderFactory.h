#pragma once

#include <memory>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// The reader of a file's code, made with the engine's setup and only for the file that needs
// it: the reader its row of the format table names, the raw stream reader for every code that is
// no container. nullptr when the program has no reader for a container code; the engine then
// treats the file as one it cannot open. Without a setup the reader takes the defaults (tests and
// fuzzing of single readers).
std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format, const EngineSetup& setup = {});

}  // namespace tarnwell
