#pragma once

#include <cstdint>
#include <string>

#include "pdfout/copy/tiff_copy.h"

namespace tarnwell {

// Mode of a run.
inline constexpr int32_t kModeNone = 0;
inline constexpr int32_t kModeDirectory = 1;  // "/d"
inline constexpr int32_t kModeFile = 2;       // "/f"

// What one run is asked to do: its flags, mode, paths and filter. It is filled once (from the
// command line or the window's pages) and only read afterwards; what a run did goes into its
// report (app/FileReport.h).
struct ConversionJob {
  uint8_t keepFileTime = 0;           // give the PDF the source's file times
  uint8_t quiet = 0;                  // do not show the results report
  uint8_t keepSourceExtension = 0;    // a.g3 gives a.g3.pdf instead of a.pdf
  int32_t includeSubdirectories = 0;  // directory mode: walk subdirectories too
  int32_t keepHierarchy = 0;          // directory mode: mirror the source tree (when 1)
  int32_t mode = kModeNone;
  // Directory mode: how many files are converted at the same time, each with its own working
  // files; 0 means one per processor core. The report is the same whatever the number.
  int32_t jobs = 1;
  std::string filter = "*.*";         // file name pattern of the directory walk
  std::string sourcePath;             // source file or directory
  std::string destinationPath;        // destination PDF file or directory
  TiffCopyOptions copyOptions;        // options of the TIFF copy step
};

}  // namespace tarnwell
