#include "app/CommandLine.h"

#include <ostream>
#include <string>
#include <vector>

#include "app/Options.h"

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

ParsedArguments parseArguments(ConversionJob& job, ConversionSettings& settings,
                               const std::vector<std::string>& arguments, std::ostream& out) {
  ParsedArguments parsed;
  OptionTarget target{job, settings};
  if (arguments.empty() || (arguments.size() == 1 && arguments.front().empty())) {
    // Only the job's flags are cleared for an empty command line.
    ConversionSettings untouched = settings;
    resetCommandLineOptions(target);
    settings = untouched;
    parsed.result = ParseResult::kEmpty;
    return parsed;
  }
  resetCommandLineOptions(target);

  std::vector<std::string> tokens(arguments);
  trimTrailingSpace(tokens);

  // Options come first and need a token after them; the first token that is no option ends
  // them, and so does an empty one (which then becomes an empty source path).
  std::size_t i = 0;
  while (i + 1 < tokens.size() && !tokens[i].empty() &&
         applyOptionToken(lowerAscii(tokens[i]), target))
    ++i;
  if (i < tokens.size() && looksLikeUnknownOption(tokens[i])) {
    parsed.result = ParseResult::kUnknownOption;
    parsed.unknownOption = tokens[i];
    return parsed;
  }

  if (job.mode != kModeNone && i + 1 < tokens.size()) {
    job.sourcePath = tokens[i];
    job.destinationPath = tokens[i + 1];
    // Everything after the destination is the filter, joined with single blanks.
    job.filter = i + 2 < tokens.size() ? joinWithBlanks(tokens.begin() + i + 2, tokens.end())
                                       : std::string("*.*");
    parsed.result = job.destinationPath.empty() ? ParseResult::kIncomplete : ParseResult::kComplete;
    return parsed;
  }
  printUsage(out);
  parsed.result = ParseResult::kIncomplete;
  return parsed;
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

ParsedArguments buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                             const std::vector<std::string>& arguments, std::ostream& out) {
  request.paths = paths;
  request.settings = ConversionSettings{};
  request.settings.engine.splitPages = 0;
  return parseArguments(request.job, request.settings, arguments, out);
}

}  // namespace tarnwell
