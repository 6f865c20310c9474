#include "support/Preflight.h"

#include <filesystem>
#include <fstream>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::test {
namespace {

const char* const kJars[] = {"preflight", "pdfbox2", "fontbox2", "xmpbox", "commons-logging",
                             "javax.activation", "jaxb-api"};

std::string classPath() {
  std::string path;
  for (const char* jar : kJars)
    path += std::string(path.empty() ? "" : ":") + "/usr/share/java/" + jar + ".jar";
  return path;
}

// The text between `open` and `close` after `from`; `from` moves past it.
std::string between(const std::string& text, const std::string& open, const std::string& close,
                    std::size_t& from) {
  const std::size_t begin = text.find(open, from);
  if (begin == std::string::npos) return from = std::string::npos, "";
  const std::size_t end = text.find(close, begin + open.size());
  if (end == std::string::npos) return from = std::string::npos, "";
  from = end + close.size();
  return text.substr(begin + open.size(), end - begin - open.size());
}

}  // namespace

bool havePreflight() {
  if (!haveTool("java")) return false;
  for (const char* jar : kJars) {
    if (!std::filesystem::exists(std::string("/usr/share/java/") + jar + ".jar")) return false;
  }
  return true;
}

std::vector<std::string> preflightProblems(const std::vector<std::string>& pdfPaths) {
  // In "xml group" mode the validator reads the files listed in a file and writes one report of
  // all of them beside the list.
  TempTree dir;
  const std::string list = dir.file("pdfs.txt");
  {
    std::ofstream out(list);
    for (const std::string& pdf : pdfPaths) out << std::filesystem::absolute(pdf).string() << "\n";
  }
  runCommand("java -cp " + classPath() + " org.apache.pdfbox.preflight.Validator_A1b xml group " +
             shellQuote(list) + " >/dev/null");
  std::ifstream in(list + ".preflight.xml");
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> problems;
  for (const std::string& pdf : pdfPaths) {
    const std::string name = std::filesystem::path(pdf).filename().string();
    std::size_t at = xml.find("<preflight name=\"" + name + "\">");
    if (at == std::string::npos) return {};
    const std::string report = between(xml, "", "</preflight>", at);
    std::size_t verdict = 0;
    if (between(report, "<isValid type=\"PDF/A1-b\">", "</isValid>", verdict) == "true") {
      problems.emplace_back();
      continue;
    }
    std::string errors = "not valid";
    for (std::size_t e = 0; e != std::string::npos;) {
      const std::string code = between(report, "<code>", "</code>", e);
      const std::string details = between(report, "<details>", "</details>", e);
      if (e != std::string::npos) errors += "\n" + code + " : " + details;
    }
    problems.push_back(errors);
  }
  return problems;
}

}  // namespace tarnwell::test
