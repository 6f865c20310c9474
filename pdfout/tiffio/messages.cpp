#include "pdfout/tiffio/messages.h"

#include <tiffio.h>

namespace tarnwell {

void silenceTiffMessages() {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
}

}  // namespace tarnwell
