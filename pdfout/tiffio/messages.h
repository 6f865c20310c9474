#pragma once

namespace tarnwell {

// Module name of every message the PDF output code reports through libtiff's handlers.
inline constexpr const char* kPdfModule = "trnw2pdf";

// Installs libtiff error and warning handlers that discard every message. The program calls
// this once at start-up; tests may install collecting handlers instead.
void silenceTiffMessages();

}  // namespace tarnwell
