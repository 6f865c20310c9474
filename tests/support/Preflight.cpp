#include "support/Preflight.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::test {
namespace {

const char* const kJars[] = {"preflight", "pdfbox2", "fontbox2", "xmpbox", "commons-logging",
                             "javax.activation", "jaxb-api"};

std::string jarPath(const char* jar) { return std::string("/usr/share/java/") + jar + ".jar"; }

}  // namespace

bool havePreflight() {
  return haveTool("java") && std::all_of(std::begin(kJars), std::end(kJars), [](const char* jar) {
           return std::filesystem::exists(jarPath(jar));
         });
}

std::string preflightProblems(const std::vector<std::string>& pdfPaths) {
  // In "xml group" mode the validator checks the files a list names and writes one report of
  // them all beside the list, with each rejected file's errors (a code and details each).
  TempTree dir;
  const std::string list = dir.file("pdfs.txt");
  std::ofstream names(list);
  for (const std::string& pdf : pdfPaths) names << std::filesystem::absolute(pdf).string() << "\n";
  names.close();
  std::string classPath;
  for (const char* jar : kJars) classPath += (classPath.empty() ? "" : ":") + jarPath(jar);
  runCommand("java -cp " + classPath + " org.apache.pdfbox.preflight.Validator_A1b xml group " +
             shellQuote(list) + " >/dev/null");
  std::ifstream in(list + ".preflight.xml");
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string problems;
  for (const std::string& pdf : pdfPaths) {
    const std::string name = std::filesystem::path(pdf).filename().string();
    const std::size_t begin = xml.find("<preflight name=\"" + name + "\">");
    const std::size_t end = xml.find("</preflight>", begin);
    const std::string report = end == std::string::npos ? "" : xml.substr(begin, end - begin);
    if (report.find("<isValid type=\"PDF/A1-b\">true</isValid>") != std::string::npos) continue;
    problems += name + (report.empty() ? ": no verdict\n" : ": not valid\n");
    for (std::size_t at = report.find("<code>"); at != std::string::npos;
         at = report.find("<code>", at + 1)) {
      problems += report.substr(at, report.find("</details>", at) - at) + "\n";
    }
  }
  return problems;
}

}  // namespace tarnwell::test
