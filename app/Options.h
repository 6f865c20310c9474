#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"

namespace tarnwell {

// Every option of a run is declared once, in the table optionTable() returns: its command-line
// token, the field it sets, its help line and, where the window shows it, its label and kind of
// control. The parser, the help text, the reset of a fresh command line, the window's Options
// and Settings pages and the check of the manual page all read the table. Adding an option is
// one row in Options.cpp plus the code that uses its field.

// What a row's setter and getter work on: the job (what to convert, how to name and report it)
// and the conversion settings (how to decode and write).
struct OptionTarget {
  ConversionJob& job;
  ConversionSettings& settings;
};
struct ConstOptionTarget {
  const ConversionJob& job;
  const ConversionSettings& settings;
};

// How a command-line token carries its value.
enum class OptionValue {
  kNone,    // the token alone: "/l"
  kDigit,   // one digit within the row's range after the token: "/b=2"
  kDigits,  // digits only, held within a 32-bit int: "/j=4"
  kNumber,  // the leading number as the C library's atoi reads it, any text after it: "/nw=2048"
  kText,    // any non-empty text: "/ocr=deu+eng"
};

// Where the window shows an option, and with what control.
enum class OptionPage { kNone, kOptions, kSettings };
enum class OptionWidget {
  kNone,
  kCheckBox,     // on when the value is not 0
  kRadioButton,  // one of a group; on when the value equals the row's `first`
  kChoice,       // a drop-down list of `choices`, the value being the index
  kNumberField,  // a number from 0 to the row's `last`
  kTextField,    // a line of text
};

struct OptionRow {
  std::string_view name{};   // stable key, and the object name of its control in the window
  std::string_view token{};  // lower case; with a value, everything before it ("/b="); empty
                           // for a setting only the window shows
  std::string_view alias{};  // another spelling of the token ("--jobs="), or empty
  OptionValue value = OptionValue::kNone;
  int first = 0;              // kDigit: the lowest digit; kRadioButton: the value it stands for
  int last = 0;               // kDigit: the highest digit; kNumberField: the highest number
  std::string_view helpName{};  // how the help text writes it ("/j=N"); empty: not in the help
  std::string_view help{};      // the help line
  OptionPage page = OptionPage::kNone;
  OptionWidget widget = OptionWidget::kNone;
  std::string_view group{};    // the window's group box
  std::string_view label{};    // the control's label (with & before its mnemonic)
  std::string_view choices{};  // kChoice: the entries, separated by '|'
  // Sets the field from a number (flags: 1 set, 0 clear); null for kText rows.
  void (*set)(OptionTarget&, long value) = nullptr;
  // Sets the field from a text (kText rows and text fields).
  void (*setText)(OptionTarget&, std::string_view text) = nullptr;
  // The field's value as the window shows it; null for options only the command line has.
  long (*get)(const ConstOptionTarget&) = nullptr;
  std::string (*getText)(const ConstOptionTarget&) = nullptr;
  // What every fresh command line sets before its options apply; null: left as it is.
  void (*reset)(OptionTarget&) = nullptr;
};

// The table, in the order of the help text and of the window's controls.
[[nodiscard]] std::span<const OptionRow> optionTable();

// The row of that name; null when there is none.
[[nodiscard]] const OptionRow* findOption(std::string_view name);

// Applies one command-line token (already lower case) to the target; false when it is no option.
bool applyOptionToken(std::string_view token, OptionTarget target);

// Sets what a fresh command line resets.
void resetCommandLineOptions(OptionTarget target);

// Whether a token in the place of an option looks like an option this program does not know: it
// is none of the table's, begins with "/" or "-", holds only letters, digits and "=+-," after that
// and names nothing that exists (so "/tmp" or "-notes.g3" stay paths).
[[nodiscard]] bool looksLikeUnknownOption(std::string_view token);

// The usage text of an incomplete command line.
void printUsage(std::ostream& out);

// The usage text followed by one line per option of the table and the exit status.
void printHelp(std::ostream& out);

}  // namespace tarnwell
