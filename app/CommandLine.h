#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ConversionJob.h"
#include "app/ConversionRequest.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// Result of parseCommandLine when the text is not a complete request.
inline constexpr int kIncompleteRequest = 126;

// Fills the job's flags, mode, paths and filter and the settings' option fields from the
// program's arguments as the shell passed them, each one token, so a path may hold blanks.
// Options come first and each needs a token after it; the first token that is no option (or an
// empty one) is the source path, the next the destination, and the rest, joined with single
// blanks, the filter. Trailing white space of the last arguments is dropped. Returns 0 for a
// complete request, -2 without arguments (or one empty argument), 126 otherwise; the usage text
// goes to out when the options or the mode are incomplete. Arguments without blanks inside
// parse exactly as their text joined with single blanks does in parseCommandLine.
[[nodiscard]] int parseArguments(ConversionJob& job, ConversionSettings& settings,
                                 const std::vector<std::string>& arguments, std::ostream& out);

// The same from an argument text split at every blank (tabs do not separate; quotes are not
// interpreted). Returns -1 without any argument text, -2 for an empty text.
[[nodiscard]] int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                                   std::optional<std::string_view> text, std::ostream& out);

// The same, printing to standard output.
[[nodiscard]] int parseCommandLine(ConversionJob& job, ConversionSettings& settings,
                                   std::optional<std::string_view> text);

// Builds the request of a run: the given working paths, the default settings (one intermediate
// TIFF for all pages) and what the argument text sets. Returns parseCommandLine's result.
[[nodiscard]] int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                               std::optional<std::string_view> text, std::ostream& out);

// The tokens of an argument text split at every blank; two blanks in a row give an empty token.
[[nodiscard]] std::vector<std::string> splitAtBlanks(std::string_view text);

// The usage text of an incomplete command line.
void printUsage(std::ostream& out);

// "--help", "-h" or "--version" anywhere among the arguments; the first one found decides.
enum class InfoRequest { kNone, kHelp, kVersion };
[[nodiscard]] InfoRequest findInfoRequest(const std::vector<std::string>& arguments);

// The usage text followed by a summary of the options and the exit status.
void printHelp(std::ostream& out);

// The same as buildRequest from the program's arguments, one token each (parseArguments).
[[nodiscard]] int buildRequest(ConversionRequest& request, const WorkingPaths& paths,
                               const std::vector<std::string>& arguments, std::ostream& out);

}  // namespace tarnwell
