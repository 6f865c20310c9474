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

// Field accessors of the rows: a flag or a number field of the job or the settings.
#define TARNWELL_FLAG(field)                                                                   \
  .set = [](OptionTarget& t, long v) { t.field = static_cast<decltype(t.field)>(v != 0); }, \
  .get = [](const ConstOptionTarget& t) -> long { return t.field != 0; }
#define TARNWELL_NUMBER(field)                                                          \
  .set = [](OptionTarget& t, long v) { t.field = static_cast<decltype(t.field)>(v); }, \
  .get = [](const ConstOptionTarget& t) -> long { return static_cast<long>(t.field); }

constexpr std::string_view kSourceGroup = "Source Options";
constexpr std::string_view kDestinationGroup = "Destination options";
constexpr std::string_view kBitOrderGroup = "Set Bit Order";
constexpr std::string_view kResolutionGroup = "Set Resolution";
constexpr std::string_view kAdvancedGroup = "Advanced";
constexpr std::string_view kTextGroup = "Searchable PDF";
constexpr std::string_view kArchiveGroup = "Archive";

// clang-format off
const std::array kTable = {
    OptionRow{.name = "convertDirectory", .token = "/d", .first = kModeDirectory, .helpName = "/d",
              .help = "convert every matching file of a directory into a directory",
              .page = OptionPage::kOptions, .widget = OptionWidget::kRadioButton,
              .group = kSourceGroup, .label = "Convert &Directory",
              .set = [](OptionTarget& t, long v) { if (v) t.job.mode = kModeDirectory; },
              .get = [](const ConstOptionTarget& t) -> long { return t.job.mode; },
              .reset = [](OptionTarget& t) { t.job.mode = kModeNone; }},
    OptionRow{.name = "convertFiles", .token = "/f", .first = kModeFile, .helpName = "/f",
              .help = "convert one file into the named PDF file",
              .page = OptionPage::kOptions, .widget = OptionWidget::kRadioButton,
              .group = kSourceGroup, .label = "Convert &File(s)",
              .set = [](OptionTarget& t, long v) { if (v) t.job.mode = kModeFile; },
              .get = [](const ConstOptionTarget& t) -> long { return t.job.mode; }},
    OptionRow{.name = "includeSubdir", .token = "/i", .helpName = "/i",
              .help = "directory mode: walk subdirectories too",
              .page = OptionPage::kOptions, .widget = OptionWidget::kCheckBox,
              .group = kSourceGroup, .label = "&Include subdir",
              TARNWELL_FLAG(job.includeSubdirectories),
              .reset = [](OptionTarget& t) { t.job.includeSubdirectories = 0; }},
    OptionRow{.name = "keepHierarchy", .token = "/kh", .helpName = "/kh",
              .help = "directory mode: mirror the source tree under the destination",
              .page = OptionPage::kOptions, .widget = OptionWidget::kCheckBox,
              .group = kDestinationGroup, .label = "Keep &Hierarchy",
              TARNWELL_FLAG(job.keepHierarchy),
              .reset = [](OptionTarget& t) { t.job.keepHierarchy = 0; }},
    OptionRow{.name = "jobs", .token = "/j=", .alias = "--jobs=", .value = OptionValue::kDigits,
              .helpName = "/j=N",
              .help = "directory mode: convert N files at a time (0: one per core; --jobs=N)",
              TARNWELL_NUMBER(job.jobs),
              .reset = [](OptionTarget& t) { t.job.jobs = 1; }},
    OptionRow{.name = "keepSourceExtension", .token = "/ke", .helpName = "/ke",
              .help = "keep the source's extension in the PDF name (a.g3.pdf)",
              .page = OptionPage::kOptions, .widget = OptionWidget::kCheckBox,
              .group = kDestinationGroup, .label = "Include Source File E&xtension",
              TARNWELL_FLAG(job.keepSourceExtension),
              .reset = [](OptionTarget& t) { t.job.keepSourceExtension = 0; }},
    OptionRow{.name = "keepFileTime", .token = "/l", .helpName = "/l",
              .help = "give each PDF the file times of its source",
              .page = OptionPage::kOptions, .widget = OptionWidget::kCheckBox,
              .group = kDestinationGroup, .label = "Keep File Date and &Time",
              TARNWELL_FLAG(job.keepFileTime),
              .reset = [](OptionTarget& t) { t.job.keepFileTime = 0; }},
    OptionRow{.name = "quiet", .token = "/q", .helpName = "/q",
              .help = "do not show the report (the log is still written)",
              TARNWELL_FLAG(job.quiet),
              .reset = [](OptionTarget& t) { t.job.quiet = 0; }},
    OptionRow{.name = "autoBitOrder", .token = "/b=", .value = OptionValue::kDigit, .first = 0,
              .last = 2, .helpName = "/b=0|1|2",
              .help = "raw faxes: bit order automatic, highest bit first, lowest bit first",
              .page = OptionPage::kSettings, .widget = OptionWidget::kRadioButton,
              .group = kBitOrderGroup, .label = "&Auto bit order",
              TARNWELL_NUMBER(settings.engine.bitOrder)},
    OptionRow{.name = "highestBitFirst", .first = 1,
              .page = OptionPage::kSettings, .widget = OptionWidget::kRadioButton,
              .group = kBitOrderGroup, .label = "&Highest bit first",
              TARNWELL_NUMBER(settings.engine.bitOrder)},
    OptionRow{.name = "leastBitFirst", .first = 2,
              .page = OptionPage::kSettings, .widget = OptionWidget::kRadioButton,
              .group = kBitOrderGroup, .label = "L&east bit first",
              TARNWELL_NUMBER(settings.engine.bitOrder)},
    // The digit or list index times 100 is the lines per inch.
    OptionRow{.name = "vertical", .token = "/v=", .value = OptionValue::kDigit, .last = 4,
              .helpName = "/v=0..4",
              .help = "raw faxes: vertical resolution automatic, 100, 200, 300, 400 lpi",
              .page = OptionPage::kSettings, .widget = OptionWidget::kChoice,
              .group = kResolutionGroup, .label = "&Vertical",
              .choices = "Auto detect|Standard (3.85lines/mm)|Fine (7.7lines/mm)|"
                         "SFine (11.55lines/mm)|High (15.4lines/mm)",
              .set = [](OptionTarget& t, long v) {
                t.settings.engine.verticalResolution = static_cast<uint16_t>(v * 100);
              },
              .get = [](const ConstOptionTarget& t) -> long {
                const int v = t.settings.engine.verticalResolution;
                return v == 0 ? 0 : v < 200 ? 1 : v < 300 ? 2 : v < 400 ? 3 : 4;
              }},
    OptionRow{.name = "nonStandardWidthOption", .token = "/nw=", .value = OptionValue::kNumber,
              .helpName = "/nw=N",
              .help = "raw faxes: accept non-standard page widths of at least N pixels",
              .set = [](OptionTarget& t, long v) {
                t.settings.engine.nonStandardWidth = 1;
                t.settings.engine.minWidth = static_cast<uint16_t>(static_cast<unsigned long>(v));
              },
              .reset = [](OptionTarget& t) { t.settings.engine.nonStandardWidth = 0; }},
    OptionRow{.name = "threshold", .last = UINT16_MAX,
              .page = OptionPage::kSettings, .widget = OptionWidget::kNumberField,
              .group = kAdvancedGroup, .label = "T&hreshold",
              TARNWELL_NUMBER(settings.engine.threshold)},
    OptionRow{.name = "flagNum", .last = UINT8_MAX,
              .page = OptionPage::kSettings, .widget = OptionWidget::kNumberField,
              .group = kAdvancedGroup, .label = "Flag &Num",
              TARNWELL_NUMBER(settings.engine.flagNum)},
    OptionRow{.name = "nonStandardWidth",
              .page = OptionPage::kSettings, .widget = OptionWidget::kCheckBox,
              .group = kAdvancedGroup, .label = "&Support non-standard width",
              TARNWELL_FLAG(settings.engine.nonStandardWidth)},
    OptionRow{.name = "minWidth", .last = UINT16_MAX,
              .page = OptionPage::kSettings, .widget = OptionWidget::kNumberField,
              .group = kAdvancedGroup, .label = "Min &Width",
              TARNWELL_NUMBER(settings.engine.minWidth)},
    OptionRow{.name = "rawFax", .token = "/raw", .helpName = "/raw",
              .help = "raw faxes: Group 4 data without flag bytes",
              .page = OptionPage::kSettings, .widget = OptionWidget::kCheckBox,
              .group = kAdvancedGroup, .label = "&Raw Fax File",
              TARNWELL_FLAG(settings.engine.rawFax),
              .reset = [](OptionTarget& t) { t.settings.engine.rawFax = 0; }},
    OptionRow{.name = "recountLines", .token = "/relines", .helpName = "/relines",
              .help = "FX and MRV-FAX: count scan lines by decoding",
              .page = OptionPage::kSettings, .widget = OptionWidget::kCheckBox,
              .group = kAdvancedGroup, .label = "Re-&calculate Scan Lines",
              TARNWELL_FLAG(settings.engine.recountLines),
              .reset = [](OptionTarget& t) { t.settings.engine.recountLines = 0; }},
    OptionRow{.name = "splitPages", .token = "/m=", .value = OptionValue::kDigit, .last = 2,
              .helpName = "/m=0|1|2", .help = "/m=1: one intermediate TIFF per page",
              TARNWELL_NUMBER(settings.engine.splitPages)},
    OptionRow{.name = "ocr", .token = "/ocr", .helpName = "/ocr",
              .help = "searchable PDFs: an invisible layer of the text recognised in English",
              .set = [](OptionTarget& t, long) {
                t.settings.searchableText = true;
                t.settings.textLanguages = "eng";
              }},
    // Language names are lower case in Tesseract's data, so the lowered token serves as is.
    OptionRow{.name = "ocrLanguages", .token = "/ocr=", .value = OptionValue::kText,
              .helpName = "/ocr=LANGS",
              .help = "the same in Tesseract's languages LANGS, such as deu+eng",
              .setText = [](OptionTarget& t, std::string_view text) {
                t.settings.searchableText = true;
                t.settings.textLanguages = std::string(text);
              }},
    OptionRow{.name = "searchableText",
              .page = OptionPage::kSettings, .widget = OptionWidget::kCheckBox,
              .group = kTextGroup, .label = "Searchable te&xt",
              TARNWELL_FLAG(settings.searchableText)},
    // An empty list means English.
    OptionRow{.name = "textLanguages",
              .page = OptionPage::kSettings, .widget = OptionWidget::kTextField,
              .group = kTextGroup, .label = "&Languages",
              .setText = [](OptionTarget& t, std::string_view text) {
                t.settings.textLanguages = text.empty() ? "eng" : std::string(text);
              },
              .getText = [](const ConstOptionTarget& t) { return t.settings.textLanguages; }},
    OptionRow{.name = "archival", .token = "/pdfa", .helpName = "/pdfa",
              .help = "archival PDFs: PDF/A-1b with the fax's own metadata",
              .page = OptionPage::kSettings, .widget = OptionWidget::kCheckBox,
              .group = kArchiveGroup, .label = "Archival &PDF (PDF/A-1b)",
              TARNWELL_FLAG(settings.archival)},
};
// clang-format on

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
