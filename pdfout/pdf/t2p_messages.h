#pragma once

namespace tarnwell {

// Reports an error or a warning through libtiff's handlers with the PDF module name.
void t2pError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void t2pWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarnwell
