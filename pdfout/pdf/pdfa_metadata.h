#pragma once

// The archival PDF's document metadata: untrusted texts made printable, dates in both notations,
// and the XMP packet that repeats the information dictionary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pdfout/pdf/pdf_metadata.h"

namespace tarnwell {

// The most characters a metadata text keeps.
inline constexpr size_t kMaxMetadataCharacters = 256;

// Printable UTF-8 text of untrusted bytes: UTF-8 when the bytes are valid UTF-8, otherwise each
// byte taken as a Latin-1 character; control characters (C0, DEL, C1), U+FEFF, U+FFFE and U+FFFF
// dropped, blanks at both ends trimmed, cut to `maxCharacters` characters.
[[nodiscard]] std::string archivalText(std::string_view bytes,
                                       size_t maxCharacters = kMaxMetadataCharacters);

// A PDF text string of printable UTF-8 text: a literal string when it is ASCII, otherwise
// UTF-16BE with its byte order mark, written in hexadecimal.
[[nodiscard]] std::string pdfTextString(std::string_view utf8);

// The text with &, <, >, " and ' written as XML character references.
[[nodiscard]] std::string xmlEscaped(std::string_view text);

// Whether the date's fields are a real date (years 1 to 9999) and its offset is within 14 hours.
[[nodiscard]] bool validPdfDate(const PdfDate& date);
// "D:YYYYMMDDHHmmSS+HH'mm'" for the information dictionary.
[[nodiscard]] std::string pdfDateText(const PdfDate& date);
// "YYYY-MM-DDTHH:mm:SS+HH:MM" for XMP.
[[nodiscard]] std::string xmpDateText(const PdfDate& date);
// A TIFF DateTime ("YYYY:MM:DD HH:MM:SS", local time) as a date; year 0 when it is not one.
[[nodiscard]] PdfDate tiffDateTime(std::string_view text);

// The document's metadata, each text already made printable; empty texts are left out.
struct ArchivalInfo {
  std::string title, subject, author, creator, producer;
  PdfDate created;
  uint32_t pages = 0;
};

// The XMP packet of an archival PDF: PDF/A-1 level B identification, and the information
// dictionary's values in the Dublin Core, XMP basic, Adobe PDF and paged-text schemas.
[[nodiscard]] std::string xmpPacket(const ArchivalInfo& info);

}  // namespace tarnwell
