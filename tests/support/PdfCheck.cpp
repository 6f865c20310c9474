#include "support/PdfCheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::test {

bool qpdfCheck(const std::string& pdfPath, std::string* output) {
  const CommandResult r = runCommand("qpdf --check " + shellQuote(pdfPath));
  if (output != nullptr) *output = r.out;
  return r.exitCode == 0;
}

int qpdfPageCount(const std::string& pdfPath) {
  const CommandResult r = runCommand("qpdf --show-npages " + shellQuote(pdfPath));
  if (r.exitCode != 0) return -1;
  return std::atoi(r.out.c_str());
}

std::string xrefProblems(const std::string& pdf) {
  const std::size_t startxref = pdf.rfind("startxref\r");
  if (startxref == std::string::npos) return "no startxref";
  const uint64_t xref = std::strtoull(pdf.c_str() + startxref + 10, nullptr, 10);
  if (xref >= pdf.size() || pdf.compare(xref, 7, "xref\r0 ") != 0) return "startxref is wrong";
  char* end = nullptr;
  const unsigned long count = std::strtoul(pdf.c_str() + xref + 7, &end, 10);
  if (end == nullptr || std::strncmp(end, " \r", 2) != 0) return "bad xref subsection line";
  std::size_t entry = static_cast<std::size_t>(end - pdf.c_str()) + 2;
  if (pdf.compare(entry, 20, "0000000000 65535 f\r\n") != 0) return "bad free entry";
  for (unsigned long n = 1; n < count; ++n) {
    entry += 20;
    if (entry + 20 > pdf.size()) return "xref table truncated";
    const std::string line = pdf.substr(entry, 20);
    if (line.compare(10, 10, " 00000 n\r\n") != 0) return "entry " + std::to_string(n) + " malformed";
    const uint64_t offset = std::strtoull(line.substr(0, 10).c_str(), nullptr, 10);
    const std::string expect = std::to_string(n) + " 0 obj\r";
    if (offset > pdf.size() || pdf.compare(offset, expect.size(), expect) != 0) {
      return "entry " + std::to_string(n) + " does not point at its object";
    }
  }
  if (entry + 20 > pdf.size() || pdf.compare(entry + 20, 8, "trailer\r") != 0) {
    return "xref not followed by trailer";
  }
  if (pdf.find("/Size " + std::to_string(count) + "\r", xref) == std::string::npos) return "bad /Size";
  return {};
}

std::string pdfProblems(const std::string& pdfPath) {
  std::string output;
  if (!qpdfCheck(pdfPath, &output)) return "qpdf --check failed: " + output;
  return xrefProblems(readText(pdfPath));
}

std::string objectText(const std::string& pdf, int number) {
  const std::string head = std::to_string(number) + " 0 obj\r";
  std::size_t start = pdf.rfind("\r" + head);
  if (start == std::string::npos) start = pdf.rfind("\n" + head);
  if (start == std::string::npos) return {};
  ++start;
  const std::size_t end = pdf.find("endobj\r", start);
  if (end == std::string::npos) return {};
  return pdf.substr(start, end + 7 - start);
}

std::string streamOf(const std::string& pdf, int number) {
  const std::string object = objectText(pdf, number);
  const std::size_t begin = object.find("stream\r\n");
  const std::size_t end = object.rfind("\rendstream\r");
  if (begin == std::string::npos || end == std::string::npos || end < begin + 8) return {};
  return object.substr(begin + 8, end - begin - 8);
}

}  // namespace tarnwell::test
