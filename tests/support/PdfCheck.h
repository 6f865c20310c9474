#pragma once

// Independent checks of a PDF: qpdf's structural check and page count, the classic
// cross-reference table checked entry by entry, and object and stream text.

#include <string>

namespace tarnwell::test {

// Runs "qpdf --check"; true when it exits 0 (no errors or warnings). `output` gets its output.
bool qpdfCheck(const std::string& pdfPath, std::string* output = nullptr);
// The page count qpdf reports, or -1.
int qpdfPageCount(const std::string& pdfPath);
// Checks that the file ends with a classic cross-reference table whose entries are 20 bytes
// and each point at "<n> 0 obj". Empty when all is well, otherwise a description.
std::string xrefProblems(const std::string& pdfBytes);
// qpdf --check and the cross-reference check together; empty when both pass.
std::string pdfProblems(const std::string& pdfPath);

// The text of object n ("n 0 obj" to "endobj"); empty when absent.
std::string objectText(const std::string& pdfBytes, int objectNumber);
// The stream bytes of object n (between "stream\r\n" and "\rendstream"); empty when absent.
std::string streamOf(const std::string& pdfBytes, int objectNumber);

}  // namespace tarnwell::test
