#pragma once

// Apache PDFBox Preflight (Debian package libpdfbox2-java) as an independent PDF/A-1b validator.

#include <string>
#include <vector>

namespace tarnwell::test {

// Whether java and the Preflight jars under /usr/share/java are installed.
bool havePreflight();

// Validates the PDFs in one Java run (a validator start costs about a second). One entry per
// file, in the given order: empty when Preflight accepts the file as PDF/A-1b, otherwise its
// errors, one per line. The files' names (without directories) must differ. An empty vector
// when the validator could not run or gave no verdict for every file.
std::vector<std::string> preflightProblems(const std::vector<std::string>& pdfPaths);

}  // namespace tarnwell::test
