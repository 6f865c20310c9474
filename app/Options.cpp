#include "app/Options.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <ostream>

#include "platform/Platform.h"

namespace tarnwell {

namespace {

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
  return static_cast<long>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value text of a token for a row: what follows the token or its alias; nothing when the
// token is another one.
std::optional<std::string_view> valueText(const OptionRow& row, std::string_view token) {
  for (std::string_view spelling : {row.token, row.alias}) {
    if (spelling.empty()) continue;
    if (row.value == OptionValue::kNone) {
      if (token == spelling) return std::string_view();
    } else if (token.starts_with(spelling)) {
      return token.substr(spelling.size());
    }
  }
  return std::nullopt;
}

// Field accessors, one pair per field a row sets.
#define TARNWELL_FLAG(object, field)                                                               \
  [](OptionTarget& t, long v) { t.object.field = static_cast<decltype(t.object.field)>(v != 0); }, \
      nullptr, [](const ConstOptionTarget& t) -> long { return t.object.field != 0; }, nullptr
#define TARNWELL_NUMBER(object, field)                                                        \
  [](OptionTarget& t, long v) { t.object.field = static_cast<decltype(t.object.field)>(v); }, \
      nullptr,                                                                                \
      [](const ConstOptionTarget& t) -> long { return static_cast<long>(t.object.field); },   \
      nullptr

constexpr std::string_view kSourceGroup = "Source Options";
constexpr std::string_view kDestinationGroup = "Destination options";
constexpr std::string_view kBitOrderGroup = "Set Bit Order";
constexpr std::string_view kResolutionGroup = "Set Resolution";
constexpr std::string_view kAdvancedGroup = "Advanced";
constexpr std::string_view kTextGroup = "Searchable PDF";

const std::array kTable = {
    OptionRow{"convertDirectory",
              "/d",
              {},
              OptionValue::kNone,
              kModeDirectory,
              0,
              "/d",
              "convert every matching file of a directory into a directory",
              OptionPage::kOptions,
              OptionWidget::kRadioButton,
              kSourceGroup,
              "Convert &Directory",
              {},
              [](OptionTarget& t, long v) {
                if (v) t.job.mode = kModeDirectory;
              },
              nullptr,
              [](const ConstOptionTarget& t) -> long { return t.job.mode; },
              nullptr,
              [](OptionTarget& t) { t.job.mode = kModeNone; }},
    OptionRow{"convertFiles",
              "/f",
              {},
              OptionValue::kNone,
              kModeFile,
              0,
              "/f",
              "convert one file into the named PDF file",
              OptionPage::kOptions,
              OptionWidget::kRadioButton,
              kSourceGroup,
              "Convert &File(s)",
              {},
              [](OptionTarget& t, long v) {
                if (v) t.job.mode = kModeFile;
              },
              nullptr,
              [](const ConstOptionTarget& t) -> long { return t.job.mode; },
              nullptr,
              nullptr},
    OptionRow{"includeSubdir",
              "/i",
              {},
              OptionValue::kNone,
              0,
              0,
              "/i",
              "directory mode: walk subdirectories too",
              OptionPage::kOptions,
              OptionWidget::kCheckBox,
              kSourceGroup,
              "&Include subdir",
              {},
              TARNWELL_FLAG(job, includeSubdirectories),
              [](OptionTarget& t) { t.job.includeSubdirectories = 0; }},
    OptionRow{"keepHierarchy",
              "/kh",
              {},
              OptionValue::kNone,
              0,
              0,
              "/kh",
              "directory mode: mirror the source tree under the destination",
              OptionPage::kOptions,
              OptionWidget::kCheckBox,
              kDestinationGroup,
              "Keep &Hierarchy",
              {},
              TARNWELL_FLAG(job, keepHierarchy),
              [](OptionTarget& t) { t.job.keepHierarchy = 0; }},
    OptionRow{"jobs",
              "/j=",
              "--jobs=",
              OptionValue::kDigits,
              0,
              0,
              "/j=N",
              "directory mode: convert N files at a time (0: one per core; --jobs=N)",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              TARNWELL_NUMBER(job, jobs),
              [](OptionTarget& t) { t.job.jobs = 1; }},
    OptionRow{"keepSourceExtension",
              "/ke",
              {},
              OptionValue::kNone,
              0,
              0,
              "/ke",
              "keep the source's extension in the PDF name (a.g3.pdf)",
              OptionPage::kOptions,
              OptionWidget::kCheckBox,
              kDestinationGroup,
              "Include Source File E&xtension",
              {},
              TARNWELL_FLAG(job, keepSourceExtension),
              [](OptionTarget& t) { t.job.keepSourceExtension = 0; }},
    OptionRow{"keepFileTime",
              "/l",
              {},
              OptionValue::kNone,
              0,
              0,
              "/l",
              "give each PDF the file times of its source",
              OptionPage::kOptions,
              OptionWidget::kCheckBox,
              kDestinationGroup,
              "Keep File Date and &Time",
              {},
              TARNWELL_FLAG(job, keepFileTime),
              [](OptionTarget& t) { t.job.keepFileTime = 0; }},
    OptionRow{"quiet",
              "/q",
              {},
              OptionValue::kNone,
              0,
              0,
              "/q",
              "do not show the report (the log is still written)",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              TARNWELL_FLAG(job, quiet),
              [](OptionTarget& t) { t.job.quiet = 0; }},
    OptionRow{"autoBitOrder",
              "/b=",
              {},
              OptionValue::kDigit,
              0,
              2,
              "/b=0|1|2",
              "raw faxes: bit order automatic, highest bit first, lowest bit first",
              OptionPage::kSettings,
              OptionWidget::kRadioButton,
              kBitOrderGroup,
              "&Auto bit order",
              {},
              TARNWELL_NUMBER(settings.engine, bitOrder),
              nullptr},
    OptionRow{"highestBitFirst",
              {},
              {},
              OptionValue::kNone,
              1,
              0,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kRadioButton,
              kBitOrderGroup,
              "&Highest bit first",
              {},
              TARNWELL_NUMBER(settings.engine, bitOrder),
              nullptr},
    OptionRow{"leastBitFirst",
              {},
              {},
              OptionValue::kNone,
              2,
              0,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kRadioButton,
              kBitOrderGroup,
              "L&east bit first",
              {},
              TARNWELL_NUMBER(settings.engine, bitOrder),
              nullptr},
    OptionRow{"vertical",
              "/v=",
              {},
              OptionValue::kDigit,
              0,
              4,
              "/v=0..4",
              "raw faxes: vertical resolution automatic, 100, 200, 300, 400 lpi",
              OptionPage::kSettings,
              OptionWidget::kChoice,
              kResolutionGroup,
              "&Vertical",
              "Auto detect|Standard (3.85lines/mm)|Fine (7.7lines/mm)|SFine (11.55lines/mm)|"
              "High (15.4lines/mm)",
              // The digit or list index times 100 is the lines per inch.
              [](OptionTarget& t, long v) {
                t.settings.engine.verticalResolution = static_cast<uint16_t>(v * 100);
              },
              nullptr,
              [](const ConstOptionTarget& t) -> long {
                const int v = t.settings.engine.verticalResolution;
                return v == 0 ? 0 : v < 200 ? 1 : v < 300 ? 2 : v < 400 ? 3 : 4;
              },
              nullptr,
              nullptr},
    OptionRow{"nonStandardWidthOption",
              "/nw=",
              {},
              OptionValue::kNumber,
              0,
              0,
              "/nw=N",
              "raw faxes: accept non-standard page widths of at least N pixels",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              [](OptionTarget& t, long v) {
                t.settings.engine.nonStandardWidth = 1;
                t.settings.engine.minWidth = static_cast<uint16_t>(static_cast<unsigned long>(v));
              },
              nullptr,
              nullptr,
              nullptr,
              [](OptionTarget& t) { t.settings.engine.nonStandardWidth = 0; }},
    OptionRow{"threshold",
              {},
              {},
              OptionValue::kNone,
              0,
              UINT16_MAX,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kNumberField,
              kAdvancedGroup,
              "T&hreshold",
              {},
              TARNWELL_NUMBER(settings.engine, threshold),
              nullptr},
    OptionRow{"flagNum",
              {},
              {},
              OptionValue::kNone,
              0,
              UINT8_MAX,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kNumberField,
              kAdvancedGroup,
              "Flag &Num",
              {},
              TARNWELL_NUMBER(settings.engine, flagNum),
              nullptr},
    OptionRow{"nonStandardWidth",
              {},
              {},
              OptionValue::kNone,
              0,
              0,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kCheckBox,
              kAdvancedGroup,
              "&Support non-standard width",
              {},
              TARNWELL_FLAG(settings.engine, nonStandardWidth),
              nullptr},
    OptionRow{"minWidth",
              {},
              {},
              OptionValue::kNone,
              0,
              UINT16_MAX,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kNumberField,
              kAdvancedGroup,
              "Min &Width",
              {},
              TARNWELL_NUMBER(settings.engine, minWidth),
              nullptr},
    OptionRow{"rawFax",
              "/raw",
              {},
              OptionValue::kNone,
              0,
              0,
              "/raw",
              "raw faxes: Group 4 data without flag bytes",
              OptionPage::kSettings,
              OptionWidget::kCheckBox,
              kAdvancedGroup,
              "&Raw Fax File",
              {},
              TARNWELL_FLAG(settings.engine, rawFax),
              [](OptionTarget& t) { t.settings.engine.rawFax = 0; }},
    OptionRow{"recountLines",
              "/relines",
              {},
              OptionValue::kNone,
              0,
              0,
              "/relines",
              "FX and MRV-FAX: count scan lines by decoding",
              OptionPage::kSettings,
              OptionWidget::kCheckBox,
              kAdvancedGroup,
              "Re-&calculate Scan Lines",
              {},
              TARNWELL_FLAG(settings.engine, recountLines),
              [](OptionTarget& t) { t.settings.engine.recountLines = 0; }},
    OptionRow{"splitPages",
              "/m=",
              {},
              OptionValue::kDigit,
              0,
              2,
              "/m=0|1|2",
              "/m=1: one intermediate TIFF per page",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              TARNWELL_NUMBER(settings.engine, splitPages),
              nullptr},
    OptionRow{"ocr",
              "/ocr",
              {},
              OptionValue::kNone,
              0,
              0,
              "/ocr",
              "searchable PDFs: an invisible layer of the text recognised in English",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              [](OptionTarget& t, long) {
                t.settings.searchableText = true;
                t.settings.textLanguages = "eng";
              },
              nullptr,
              nullptr,
              nullptr,
              nullptr},
    // Language names are lower case in Tesseract's data, so the lowered token serves as is.
    OptionRow{"ocrLanguages",
              "/ocr=",
              {},
              OptionValue::kText,
              0,
              0,
              "/ocr=LANGS",
              "the same in Tesseract's languages LANGS, such as deu+eng",
              OptionPage::kNone,
              OptionWidget::kNone,
              {},
              {},
              {},
              nullptr,
              [](OptionTarget& t, std::string_view text) {
                t.settings.searchableText = true;
                t.settings.textLanguages = std::string(text);
              },
              nullptr,
              nullptr,
              nullptr},
    OptionRow{"searchableText",
              {},
              {},
              OptionValue::kNone,
              0,
              0,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kCheckBox,
              kTextGroup,
              "Searchable te&xt",
              {},
              TARNWELL_FLAG(settings, searchableText),
              nullptr},
    OptionRow{"textLanguages",
              {},
              {},
              OptionValue::kNone,
              0,
              0,
              {},
              {},
              OptionPage::kSettings,
              OptionWidget::kTextField,
              kTextGroup,
              "&Languages",
              {},
              nullptr,
              // An empty list means English.
              [](OptionTarget& t, std::string_view text) {
                t.settings.textLanguages = text.empty() ? "eng" : std::string(text);
              },
              nullptr,
              [](const ConstOptionTarget& t) { return t.settings.textLanguages; },
              nullptr},
};

#undef TARNWELL_FLAG
#undef TARNWELL_NUMBER

}  // namespace

std::span<const OptionRow> optionTable() { return kTable; }

const OptionRow* findOption(std::string_view name) {
  for (const OptionRow& row : kTable)
    if (row.name == name) return &row;
  return nullptr;
}

bool applyOptionToken(std::string_view token, OptionTarget target) {
  for (const OptionRow& row : kTable) {
    const std::optional<std::string_view> text = valueText(row, token);
    if (!text) continue;
    switch (row.value) {
      case OptionValue::kNone: row.set(target, 1); return true;
      case OptionValue::kDigit:
        if (text->size() != 1 || (*text)[0] < '0' + row.first || (*text)[0] > '0' + row.last)
          continue;
        row.set(target, (*text)[0] - '0');
        return true;
      case OptionValue::kDigits:
        if (!allDigits(*text)) continue;
        row.set(target, leadingInteger(*text));
        return true;
      case OptionValue::kNumber: row.set(target, leadingInteger(*text)); return true;
      case OptionValue::kText:
        if (text->empty()) continue;
        row.setText(target, *text);
        return true;
    }
  }
  return false;
}

void resetCommandLineOptions(OptionTarget target) {
  for (const OptionRow& row : kTable)
    if (row.reset != nullptr) row.reset(target);
}

bool looksLikeUnknownOption(std::string_view token) {
  if (token.size() < 2 || (token[0] != '/' && token[0] != '-')) return false;
  // A known option where no option can stand ("/f" at the end) is no unknown one.
  std::string lower(token);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  ConversionJob scratchJob;
  ConversionSettings scratchSettings;
  if (applyOptionToken(lower, {scratchJob, scratchSettings})) return false;
  for (char c : token.substr(1)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '=' || c == '+' || c == '-' || c == ',';
    if (!plain) return false;
  }
  return !platform::pathExists(std::string(token));
}

void printUsage(std::ostream& out) {
  out << "Usage: tarnwell [/l /q] /f [/b=0] source-file dest-pdf-file\n";
  out << "or\n";
  out << "Usage: tarnwell [/l /q] /d [/b=0] source-directory dest-directory [filter]\n";
  out.flush();
}

void printHelp(std::ostream& out) {
  printUsage(out);
  out << "\nConverts received fax files to PDF. Options come before the paths, in any letter "
         "case:\n";
  constexpr std::size_t kNameWidth = 14;
  for (const OptionRow& row : kTable) {
    if (row.helpName.empty()) continue;
    std::string line = "  " + std::string(row.helpName);
    line.resize(std::max(line.size() + 1, kNameWidth), ' ');
    out << line << row.help << '\n';
  }
  out << "  -h, --help  show this text;  --version  show the version\n"
         "Quote paths that hold blanks. Exit status: 0 all files converted or already PDF,\n"
         "1 a file failed, 2 incomplete command line and no window, or an unknown option.\n"
         "See tarnwell(1).\n";
  out.flush();
}

}  // namespace tarnwell
