#pragma once

namespace tarnwell {

// The container code of a source file, chosen from the end of its path (classifyFile). The codes
// are stored values and report numbers; what each one means, how it is recognised and which
// reader reads it is its row of the format table (FormatTable.h). Codes without a container go
// to the raw fax analysis; kTiff bypasses the fax engine.
enum class FaxFormat : int {
  kNotFax = -2,
  kRaw = 0,
  kApf = 1,
  kAwd = 2,
  kBfx = 3,
  kBmp = 4,
  kCals = 5,
  kDcx = 6,
  kDs = 7,
  kEd = 8,
  kFmf = 9,
  kFx = 10,
  kPcResearch = 11,
  kIg4 = 12,
  kQfx = 13,
  kTiff = 15,
  kTiffFax = 16,
  kMrv = 17,
};

}  // namespace tarnwell
