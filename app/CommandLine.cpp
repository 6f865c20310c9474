#include "app/CommandLine.h"

#include <climits>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

namespace {

constexpr char kBlank = ' ';

bool isTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The leading integer of a text as the C library's atoi reads it (blanks, a sign, digits),
// held within the range of a 32-bit int; no digits give 0.
long leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX + 1LL;  // saturates below
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<long>(value);
}

// The number of "/j=N" or "--jobs=N" (digits only, held within a 32-bit int); nothing for
// any other token.
std::optional<int32_t> jobCount(const std::string& token) {
  std::string_view digits;
  if (token.starts_with("/j=")) digits = std::string_view(token).substr(3);
  else if (token.starts_with("--jobs=")) digits = std::string_view(token).substr(7);
  else return std::nullopt;
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return static_cast<int32_t>(leadingInteger(digits));
}

// Applies one option token (already lower case); false when it is no option.
bool applyOption(const std::string& token, ConversionJob& job, ConversionSettings& settings) {
  if (token == "/l") job.keepFileTime = 1;
  else if (token == "/q") job.quiet = 1;
  else if (token == "/ke") job.keepSourceExtension = 1;
  else if (token == "/i") job.includeSubdirectories = 1;
  else if (token == "/kh") job.keepHierarchy = 1;
  else if (token == "/d") job.mode = kModeDirectory;
  else if (token == "/f") job.mode = kModeFile;
  else if (const std::optional<int32_t> jobs = jobCount(token)) job.jobs = *jobs;
  else if (token.starts_with("/nw=")) {
    settings.engine.nonStandardWidth = 1;
    settings.engine.minWidth =
        static_cast<uint16_t>(static_cast<unsigned long>(leadingInteger(token.substr(4))));
  } else if (token == "/raw") settings.engine.rawFax = 1;
  else if (token == "/relines") settings.engine.recountLines = 1;
  else if (token.size() == 4 && token.starts_with("/m=") && token[3] >= '0' && token[3] <= '2')
    settings.engine.splitPages = static_cast<uint8_t>(token[3] - '0');
  else if (token.size() == 4 && token.starts_with("/b=") && token[3] >= '0' && token[3] <= '2')
    settings.engine.bitOrder = static_cast<uint8_t>(token[3] - '0');
  else if (token.size() == 4 && token.starts_with("/v=") && token[3] >= '0' && token[3] <= '4')
    settings.engine.verticalResolution = static_cast<uint16_t>((token[3] - '0') * 100);
  else if (token == "/ocr") {
    settings.searchableText = true;
    settings.textLanguages = "eng";
  } else if (token.starts_with("/ocr=") && token.size() > 5) {
    // Language names are lower case in Tesseract's data, so the lowered token serves as is.
    settings.searchableText = true;
    settings.textLanguages = token.substr(5);
  } else
    return false;
  return true;
}

// Removes trailing white space from the end of the argument list as if the arguments were one
// text joined with blanks: an argument left empty at the end goes, together with its blank.
void trimTrailingSpace(std::vector<std::string>& arguments) {
  while (!arguments.empty()) {
    std::string& last = arguments.back();
    while (!last.empty() && isTrailingSpace(last.back())) last.pop_back();
    if (!last.empty() || arguments.size() == 1) return;
    arguments.pop_back();
  }
}

std::string joinWithBlanks(std::vector<std::string>::const_iterator first,
                           std::vector<std::string>::const_iterator last) {
  std::string text;
  for (auto it = first; it != last; ++it) {
    if (it != first) text += kBlank;
    text += *it;
  }
  return text;
}

}  // namespace

void printUsage(std::ostream& out) {
  out << "Usage: trnw2tif [/l /q] /f [/b=0] source-file dest-tif-file\n";
  out << "or\n";
  out << "Usage: trnw2tif [/l /q] /d [/b=0] source-directory dest-directory [filter]\n";
  out.flush();
}

int parseArguments(ConversionJob& job, ConversionSettings& settings,
                   const std::vector<std::string>& arguments, std::ostream& out) {
  job.keepFileTime = 0;
  job.quiet = 0;
  job.keepSourceExtension = 0;
  job.includeSubdirectories = 0;
  job.keepHierarchy = 0;
  job.mode = kModeNone;
  job.jobs = 1;
  if (arguments.empty() || (arguments.size() == 1 && arguments.front().empty())) return -2;

  settings.engine.nonStandardWidth = 0;
  settings.engine.rawFax = 0;
  settings.engine.recountLines = 0;

  std::vector<std::string> tokens(arguments);
  trimTrailingSpace(tokens);

  // Options come first and need a token after them; the first token that is no option ends
  // them, and so does an empty one (which then becomes an empty source path).
  std::size_t i = 0;
  while (i + 1 < tokens.size() && !tokens[i].empty() &&
         applyOption(lowerAscii(tokens[i]), job, settings))
    ++i;

  if (job.mode != kModeNone && i + 1 < tokens.size()) {
    job.sourcePath = tokens[i];
    job.destinationPath = tokens[i + 1];
    // Everything after the destination is the filter, joined with single blanks.
    job.filter = i + 2 < tokens.size() ? joinWithBlanks(tokens.begin() + i + 2, tokens.end())
                                       : std::string("*.*");
    return job.destinationPath.empty() ? kIncompleteRequest : 0;
  }
  printUsage(out);
  return kIncompleteRequest;
}

int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                     std::optional<std::string_view> text, std::ostream& out) {
  if (!text) {
    // Only the flags are cleared when there is no argument text at all.
    (void)parseArguments(job, settings, {}, out);
    return -1;
  }
  return parseArguments(job, settings, splitAtBlanks(*text), out);
}

std::vector<std::string> splitAtBlanks(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t start = 0;
  for (std::size_t p = text.find(kBlank); p != std::string_view::npos;
       p = text.find(kBlank, start)) {
    tokens.emplace_back(text.substr(start, p - start));
    start = p + 1;
  }
  tokens.emplace_back(text.substr(start));
  return tokens;
}

InfoRequest findInfoRequest(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments) {
    if (a == "--help" || a == "-h") return InfoRequest::kHelp;
    if (a == "--version") return InfoRequest::kVersion;
  }
  return InfoRequest::kNone;
}

void printHelp(std::ostream& out) {
  printUsage(out);
  out << "\n"
         "Converts received fax files to PDF. Options come before the paths, in any letter case:\n"
         "  /f          convert one file into the named PDF file\n"
         "  /d          convert every matching file of a directory into a directory\n"
         "  /i          directory mode: walk subdirectories too\n"
         "  /kh         directory mode: mirror the source tree under the destination\n"
         "  /j=N        directory mode: convert N files at a time (0: one per core; --jobs=N)\n"
         "  /ke         keep the source's extension in the PDF name (a.g3.pdf)\n"
         "  /l          give each PDF the file times of its source\n"
         "  /q          do not show the report (the log is still written)\n"
         "  /b=0|1|2    raw faxes: bit order automatic, highest bit first, lowest bit first\n"
         "  /v=0..4     raw faxes: vertical resolution automatic, 100, 200, 300, 400 lpi\n"
         "  /nw=N       raw faxes: accept non-standard page widths of at least N pixels\n"
         "  /raw        raw faxes: Group 4 data without flag bytes\n"
         "  /relines    FX and MRV-FAX: count scan lines by decoding\n"
         "  /m=0|1|2    /m=1: one intermediate TIFF per page\n"
         "  /ocr        searchable PDFs: an invisible layer of the text recognised in English\n"
         "  /ocr=LANGS  the same in Tesseract's languages LANGS, such as deu+eng\n"
         "  -h, --help  show this text;  --version  show the version\n"
         "Quote paths that hold blanks. Exit status: 0 all files converted or already PDF,\n"
         "1 a file failed, 2 incomplete command line and no window. See tarnwell(1).\n";
  out.flush();
}

int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                     std::optional<std::string_view> text) {
  return parseCommandLine(job, settings, text, std::cout);
}

int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                 std::optional<std::string_view> text, std::ostream& out) {
  request.paths = paths;
  request.settings = ConversionSettings{};
  request.settings.engine.splitPages = 0;
  return parseCommandLine(request.job, request.settings, text, out);
}

int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                 const std::vector<std::string>& arguments, std::ostream& out) {
  request.paths = paths;
  request.settings = ConversionSettings{};
  request.settings.engine.splitPages = 0;
  return parseArguments(request.job, request.settings, arguments, out);
}

}  // namespace tarnwell
