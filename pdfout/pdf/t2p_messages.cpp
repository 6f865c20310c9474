#include "pdfout/pdf/t2p_messages.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

#include "pdfout/tiffio/messages.h"

namespace tarnwell {

// libtiff offers no va_list entry, so the text is formatted here and passed on whole.
void t2pError(const char* format, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  TIFFError(kPdfModule, "%s", text);
}

void t2pWarning(const char* format, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  TIFFWarning(kPdfModule, "%s", text);
}

}  // namespace tarnwell
