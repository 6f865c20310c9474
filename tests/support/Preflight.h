#pragma once

// Apache PDFBox Preflight (Debian package libpdfbox2-java) as an independent PDF/A-1b validator.

#include <string>
#include <vector>

namespace tarnwell::test {

// Whether java and the Preflight jars under /usr/share/java are installed.
bool havePreflight();

// Validates the PDFs, whose file names must differ, in one Java run (a start costs about a
// second). Empty when Preflight accepts every one as PDF/A-1b; otherwise, for each file it
// rejects or gives no verdict on, the file's name and the errors.
std::string preflightProblems(const std::vector<std::string>& pdfPaths);

}  // namespace tarnwell::test
