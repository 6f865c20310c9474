#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pdfout/copy/tiff_copy.h"

namespace tarnwell {

// Mode of a run.
inline constexpr int32_t kModeNone = 0;
inline constexpr int32_t kModeDirectory = 1;  // "/d"
inline constexpr int32_t kModeFile = 2;       // "/f"

// One run's request and its report.
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
  std::string logText;                // the report, built up by the conversions
  // One line per page a conversion left out while writing the file's other pages
  // ("in/a.qfx: page 2 of 3 left out: no data"), in the order of the conversions.
  std::vector<std::string> leftOutPages;
  // One line per file that failed, with the reason ("in/b.tif: TIFF directory 2: ..."), in the
  // order of the conversions.
  std::vector<std::string> failures;
  std::vector<std::string> fileList;  // files to convert, relative to sourcePath
  TiffCopyOptions copyOptions;        // options of the TIFF copy step
};

}  // namespace tarnwell
