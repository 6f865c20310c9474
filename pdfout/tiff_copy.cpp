#include "pdfout/tiff_copy.h"

namespace tarnwell {

// Placeholder until the copy step lands: always fails.
int tiff_copy_file(const std::string&, const std::string&, const TiffCopyOptions&) { return 1; }

}  // namespace tarnwell
