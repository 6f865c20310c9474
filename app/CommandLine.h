#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/ConversionJob.h"
#include "app/ConversionRequest.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// How a command line ended up.
enum class ParseResult {
  kComplete,       // a mode, a source and a destination: convert at once
  kEmpty,          // no arguments (or one empty argument): the window
  kIncomplete,     // anything else that is no complete request: the window
  kUnknownOption,  // a word in the place of an option that is none: an error, never the window
};

struct ParsedArguments {
  ParseResult result = ParseResult::kIncomplete;
  std::string unknownOption;  // the word not understood (kUnknownOption)
};

// Fills the job's flags, mode, paths and filter and the settings' option fields from the
// program's arguments as the shell passed them, each one token, so a path may hold blanks.
// Options come first and each needs a token after it; the first token that is no option (or an
// empty one) is the source path, the next the destination, and the rest, joined with single
// blanks, the filter. Trailing white space of the last arguments is dropped. The usage text
// goes to `out` when the options or the mode are incomplete; a token that looks like an option
// but is none (looksLikeUnknownOption) is reported instead, with nothing printed.
[[nodiscard]] ParsedArguments parseArguments(ConversionJob& job, ConversionSettings& settings,
                                             const std::vector<std::string>& arguments,
                                             std::ostream& out);

// The tokens of an argument text split at every blank; two blanks in a row give an empty token.
[[nodiscard]] std::vector<std::string> splitAtBlanks(std::string_view text);

// "--help", "-h" or "--version" anywhere among the arguments; the first one found decides.
enum class InfoRequest { kNone, kHelp, kVersion };
[[nodiscard]] InfoRequest findInfoRequest(const std::vector<std::string>& arguments);

// Builds the request of a run: the given working paths, the default settings (one intermediate
// TIFF for all pages) and what the arguments set (parseArguments).
[[nodiscard]] ParsedArguments buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                                           const std::vector<std::string>& arguments,
                                           std::ostream& out);

}  // namespace tarnwell
