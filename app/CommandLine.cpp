#include "app/CommandLine.h"

#include <climits>
#include <iostream>
#include <string>

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

// Applies one option token (already lower case); false when it is no option.
bool applyOption(const std::string& token, ConversionJob& job, ConversionSettings& settings) {
  if (token == "/l") job.keepFileTime = 1;
  else if (token == "/q") job.quiet = 1;
  else if (token == "/ke") job.keepSourceExtension = 1;
  else if (token == "/i") job.includeSubdirectories = 1;
  else if (token == "/kh") job.keepHierarchy = 1;
  else if (token == "/d") job.mode = kModeDirectory;
  else if (token == "/f") job.mode = kModeFile;
  else if (token.starts_with("/nw=")) {
    settings.nonStandardWidth = 1;
    settings.minWidth =
        static_cast<uint16_t>(static_cast<unsigned long>(leadingInteger(token.substr(4))));
  } else if (token == "/raw") settings.rawFax = 1;
  else if (token == "/relines") settings.recountLines = 1;
  else if (token.size() == 4 && token.starts_with("/m=") && token[3] >= '0' && token[3] <= '2')
    settings.splitPages = static_cast<uint8_t>(token[3] - '0');
  else if (token.size() == 4 && token.starts_with("/b=") && token[3] >= '0' && token[3] <= '2')
    settings.bitOrder = static_cast<uint8_t>(token[3] - '0');
  else if (token.size() == 4 && token.starts_with("/v=") && token[3] >= '0' && token[3] <= '4')
    settings.verticalResolution = static_cast<uint16_t>((token[3] - '0') * 100);
  else
    return false;
  return true;
}

void printUsage(std::ostream& out) {
  out << "Usage: trnw2tif [/l /q] /f [/b=0] source-file dest-tif-file\n";
  out << "or\n";
  out << "Usage: trnw2tif [/l /q] /d [/b=0] source-directory dest-directory [filter]\n";
  out.flush();
}

}  // namespace

int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                     std::optional<std::string_view> text, std::ostream& out) {
  job.keepFileTime = 0;
  job.quiet = 0;
  job.keepSourceExtension = 0;
  job.includeSubdirectories = 0;
  job.keepHierarchy = 0;
  job.mode = kModeNone;
  if (!text) return -1;
  if (text->empty()) return -2;

  settings.nonStandardWidth = 0;
  settings.rawFax = 0;
  settings.recountLines = 0;

  std::string rest(*text);
  while (!rest.empty() && isTrailingSpace(rest.back())) rest.pop_back();

  // Options come first; the first token that is no option ends them. A blank at the very front
  // (two blanks in a row) also ends them and leaves an empty source path.
  std::size_t p = rest.find(kBlank);
  while (p != std::string::npos && p > 0) {
    if (!applyOption(lowerAscii(std::string_view(rest).substr(0, p)), job, settings)) break;
    rest.erase(0, p + 1);
    p = rest.find(kBlank);
  }

  if (job.mode != kModeNone && p != std::string::npos) {
    job.sourcePath = rest.substr(0, p);
    rest.erase(0, p + 1);
    const std::size_t q = rest.find(kBlank);
    if (q == std::string::npos) {
      job.destinationPath = rest;
      job.filter = "*.*";
    } else {
      job.destinationPath = rest.substr(0, q);
      job.filter = rest.substr(q + 1);
    }
    return job.destinationPath.empty() ? kIncompleteRequest : 0;
  }
  printUsage(out);
  return kIncompleteRequest;
}

int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                     std::optional<std::string_view> text) {
  return parseCommandLine(job, settings, text, std::cout);
}

int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                 std::optional<std::string_view> text, std::ostream& out) {
  request.paths = paths;
  request.settings = defaultSettings(paths);
  request.settings.splitPages = 0;
  return parseCommandLine(request.job, request.settings, text, out);
}

}  // namespace tarnwell
