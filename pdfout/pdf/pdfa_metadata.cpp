#include "pdfout/pdf/pdfa_metadata.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"

namespace tarnwell {
namespace {

// Code points of valid UTF-8, or nothing when the bytes are not valid UTF-8 (overlong forms,
// surrogates and values past U+10FFFF are not).
bool decodeUtf8(std::string_view bytes, std::vector<char32_t>& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const unsigned char lead = s[i];
    size_t length = 0;
    char32_t cp = 0, least = 0;
    if (lead < 0x80) { cp = lead; length = 1; }
    else if ((lead & 0xE0) == 0xC0) { cp = lead & 0x1F; length = 2; least = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { cp = lead & 0x0F; length = 3; least = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { cp = lead & 0x07; length = 4; least = 0x10000; }
    else return false;
    if (length > n - i) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back(cp);
    i += length;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool printable(char32_t cp) {
  return cp >= 0x20 && !(cp >= 0x7F && cp <= 0x9F) && cp != 0xFEFF && cp != 0xFFFE &&
         cp != 0xFFFF;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool validFields(int year, int month, int day, int hour, int minute, int second) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= daysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
         minute <= 59 && second >= 0 && second <= 59;
}

// The offset as "+HH" and minutes, the separator between them given.
std::string offsetText(int minutes, const char* separator, const char* end) {
  const char sign = minutes < 0 ? '-' : '+';
  const int magnitude = minutes < 0 ? -minutes : minutes;
  char text[16];
  std::snprintf(text, sizeof text, "%c%.2d%s%.2d%s", sign, magnitude / 60, separator,
                magnitude % 60, end);
  return text;
}

// A number of exactly `digits` decimal digits at `at`; -1 when there is none.
int digitsAt(std::string_view text, size_t at, size_t digits) {
  int value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

void appendAlternative(std::string& out, const char* property, const std::string& value) {
  if (value.empty()) return;
  out += "<";
  out += property;
  out += "><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlEscaped(value) + "</rdf:li></rdf:Alt></";
  out += property;
  out += ">\n";
}

void appendSimple(std::string& out, const char* property, const std::string& value) {
  if (value.empty()) return;
  out += "<";
  out += property;
  out += ">" + xmlEscaped(value) + "</";
  out += property;
  out += ">\n";
}

}  // namespace

PdfDate pdfDateAt(std::time_t t) {
  const std::tm local = platform::localTime(t);
  PdfDate date;
  date.year = local.tm_year + 1900;
  date.month = local.tm_mon + 1;
  date.day = local.tm_mday;
  date.hour = local.tm_hour;
  date.minute = local.tm_min;
  date.second = std::min(local.tm_sec, 59);  // a leap second shows as the one before
  const long long asUtc = daysFromCivil(date.year, static_cast<unsigned>(date.month),
                                        static_cast<unsigned>(date.day)) * 86400 +
                          date.hour * 3600 + date.minute * 60 + date.second;
  date.utcOffsetMinutes = static_cast<int>((asUtc - static_cast<long long>(t)) / 60);
  if (!validPdfDate(date)) return PdfDate{};
  return date;
}

PdfDate pdfDateOfLocalTime(int year, int month, int day, int hour, int minute, int second) {
  if (!validFields(year, month, day, hour, minute, second)) return PdfDate{};
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;  // the zone's rules decide
  const std::time_t t = std::mktime(&fields);
  if (t != static_cast<std::time_t>(-1)) {
    const PdfDate local = pdfDateAt(t);
    if (local.year != 0) return local;
  }
  PdfDate date;  // a time the zone cannot place is taken as UTC
  date.year = year;
  date.month = month;
  date.day = day;
  date.hour = hour;
  date.minute = minute;
  date.second = second;
  return date;
}

std::string archivalText(std::string_view bytes, size_t maxCharacters) {
  std::vector<char32_t> decoded;
  if (!decodeUtf8(bytes, decoded)) {
    decoded.clear();
    for (const char c : bytes) decoded.push_back(static_cast<unsigned char>(c));
  }
  std::vector<char32_t> kept;
  for (const char32_t cp : decoded) {
    if (printable(cp)) kept.push_back(cp);
  }
  size_t begin = 0, end = kept.size();
  while (begin < end && kept[begin] == U' ') ++begin;
  while (end > begin && kept[end - 1] == U' ') --end;
  end = std::min(end, begin + maxCharacters);
  std::string out;
  for (size_t i = begin; i < end; ++i) appendUtf8(out, kept[i]);
  return out;
}

std::string pdfTextString(std::string_view utf8) {
  std::vector<char32_t> cps;
  if (!decodeUtf8(utf8, cps)) cps.clear();
  bool ascii = true;
  for (const char32_t cp : cps) ascii = ascii && cp >= 0x20 && cp < 0x7F;
  std::string out;
  if (ascii) {
    out = "(";
    for (const char32_t cp : cps) {
      if (cp == '(' || cp == ')' || cp == '\\') out += '\\';
      out += static_cast<char>(cp);
    }
    return out + ")";
  }
  out = "<FEFF";
  char hex[9];
  for (const char32_t cp : cps) {
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      std::snprintf(hex, sizeof hex, "%.4X", static_cast<unsigned>(0xD800 + (v >> 10)));
      out += hex;
      std::snprintf(hex, sizeof hex, "%.4X", static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
    } else {
      std::snprintf(hex, sizeof hex, "%.4X", static_cast<unsigned>(cp));
    }
    out += hex;
  }
  return out + ">";
}

std::string xmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c; break;
    }
  }
  return out;
}

bool validPdfDate(const PdfDate& date) {
  return validFields(date.year, date.month, date.day, date.hour, date.minute, date.second) &&
         date.utcOffsetMinutes >= -14 * 60 && date.utcOffsetMinutes <= 14 * 60;
}

std::string pdfDateText(const PdfDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "D:%.4d%.2d%.2d%.2d%.2d%.2d", date.year, date.month, date.day,
                date.hour, date.minute, date.second);
  return text + offsetText(date.utcOffsetMinutes, "'", "'");
}

std::string xmpDateText(const PdfDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", date.year, date.month,
                date.day, date.hour, date.minute, date.second);
  return text + offsetText(date.utcOffsetMinutes, ":", "");
}

PdfDate tiffDateTime(std::string_view text) {
  // Separators at their places, digits everywhere else.
  static constexpr std::string_view kShape = "dddd:dd:dd dd:dd:dd";
  if (text.size() < kShape.size()) return PdfDate{};
  for (size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] != 'd' && text[i] != kShape[i]) return PdfDate{};
  }
  return pdfDateOfLocalTime(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2),
                            digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2));
}

std::string xmpPacket(const ArchivalInfo& info) {
  std::string x =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
      "<pdfaid:part>1</pdfaid:part>\n<pdfaid:conformance>B</pdfaid:conformance>\n"
      "</rdf:Description>\n"
      "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
      "<dc:format>application/pdf</dc:format>\n";
  appendAlternative(x, "dc:title", info.title);
  appendAlternative(x, "dc:description", info.subject);
  if (!info.author.empty()) {
    x += "<dc:creator><rdf:Seq><rdf:li>" + xmlEscaped(info.author) +
         "</rdf:li></rdf:Seq></dc:creator>\n";
  }
  x += "</rdf:Description>\n"
       "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n";
  const std::string date = xmpDateText(info.created);
  appendSimple(x, "xmp:CreateDate", date);
  appendSimple(x, "xmp:ModifyDate", date);
  appendSimple(x, "xmp:CreatorTool", info.creator);
  x += "</rdf:Description>\n"
       "<rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n";
  appendSimple(x, "pdf:Producer", info.producer);
  x += "</rdf:Description>\n"
       "<rdf:Description rdf:about=\"\" xmlns:xmpTPg=\"http://ns.adobe.com/xap/1.0/t/pg/\">\n";
  appendSimple(x, "xmpTPg:NPages", std::to_string(info.pages));
  x += "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>";
  return x;
}

}  // namespace tarnwell
