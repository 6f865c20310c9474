#pragma once

#include <string>

namespace tarnwell {

// Module name of every message the PDF output code reports through libtiff's handlers.
inline constexpr const char* kPdfModule = "trnw2pdf";

// Installs libtiff error and warning handlers that print nothing and hand every message to the
// collector of the calling thread, if one is open. The program calls this once at start-up;
// tests may install collecting handlers of their own instead.
void silenceTiffMessages();

// The errors libtiff and the PDF stage report on this thread while the collector is open: one
// call of the copy or of the PDF writer opens one, so conversions running at the same time on
// other threads never see each other's messages. Collectors nest; the innermost one collects.
class CallMessages {
 public:
  CallMessages();
  ~CallMessages();
  CallMessages(const CallMessages&) = delete;
  CallMessages& operator=(const CallMessages&) = delete;

  // The first error reported while open, without its module name; empty when there was none.
  const std::string& firstError() const noexcept { return firstError_; }

  // Hands a message to this thread's open collector; nothing happens without one.
  static void collect(bool error, const char* text) noexcept;

 private:
  CallMessages* outer_;
  std::string firstError_;
};

}  // namespace tarnwell
