#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// The report and log texts below ("Success !", " - Not Fax", "Total converted FAX files: ")
// are read by users' scripts: they stay exactly as they are.

// How one file of a run ended.
enum class FileResult { kAlreadyPdf, kConverted, kFailed };

// What became of one file: its report line and what goes to standard error about it.
struct FileReport {
  std::string reportLine;  // "in/a.g3 --> out/a.pdf : Success !\r\n"
  // One line per page the conversion left out while writing the file's other pages
  // ("in/a.qfx: page 2 of 3 left out: no data").
  std::vector<std::string> leftOutPages;
  // The reason when the file failed ("in/b.tif: TIFF directory 2: ...").
  std::vector<std::string> failures;
  FileResult result = FileResult::kFailed;
};

// What a whole run did: the report text and, in the order of the files, their left-out pages
// and failure reasons.
struct RunReport {
  std::string logText;
  std::vector<std::string> leftOutPages;
  std::vector<std::string> failures;

  void add(const FileReport& file) {
    logText += file.reportLine;
    leftOutPages.insert(leftOutPages.end(), file.leftOutPages.begin(), file.leftOutPages.end());
    failures.insert(failures.end(), file.failures.begin(), file.failures.end());
  }
};

}  // namespace tarnwell
