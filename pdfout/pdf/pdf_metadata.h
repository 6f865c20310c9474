#pragma once

// What the caller tells the archival PDF about the document: the values of its information
// dictionary and of its XMP metadata.

#include <ctime>
#include <string>

namespace tarnwell {

// A date and time of day with its offset from UTC.
struct PdfDate {
  int year = 0;  // 0: no date
  int month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;
};

// The moment `t` as this machine's local time, with the local offset from UTC at that moment.
[[nodiscard]] PdfDate pdfDateAt(std::time_t t);

// A local time of this machine given field by field (a fax header's date), with the local offset
// from UTC at that time; year 0 when the fields are not a date between the years 1 and 9999.
[[nodiscard]] PdfDate pdfDateOfLocalTime(int year, int month, int day, int hour, int minute,
                                         int second);

// Caller's values for an archival PDF. The texts may be any bytes (UTF-8 when valid, otherwise
// taken as Latin-1); the writer keeps printable characters only and cuts them to a sane length.
struct PdfMetadata {
  // The title (dc:title, /Title), normally the source file's name. Empty: the TIFF's
  // DocumentName, else the name of the TIFF file.
  std::string title;
  // When the fax was made (xmp:CreateDate, /CreationDate and the modification date), where the
  // caller knows it (a fax header's date). Year 0: the TIFF's DateTime, else `fileDate`, else now.
  PdfDate createDate;
  // The date to take when neither the caller nor the TIFF gives one: normally the source file's
  // modification time. A TIFF the program wrote itself carries the time it was written, so for
  // such a TIFF the caller gives createDate instead.
  PdfDate fileDate;
  // The sender or station line (dc:description, /Subject). Empty: the TIFF's ImageDescription.
  std::string description;
};

}  // namespace tarnwell
