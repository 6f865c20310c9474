#include "pdfout/tiffio/messages.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

namespace tarnwell {

namespace {

thread_local CallMessages* tCurrent = nullptr;

void forward(bool error, const char* format, va_list ap) {
  if (tCurrent == nullptr || format == nullptr) return;
  char text[1024];
  std::vsnprintf(text, sizeof text, format, ap);
  CallMessages::collect(error, text);
}

void onError(const char*, const char* format, va_list ap) { forward(true, format, ap); }
void onWarning(const char*, const char* format, va_list ap) { forward(false, format, ap); }

}  // namespace

void silenceTiffMessages() {
  TIFFSetErrorHandler(onError);
  TIFFSetWarningHandler(onWarning);
}

CallMessages::CallMessages() : outer_(tCurrent) { tCurrent = this; }

CallMessages::~CallMessages() { tCurrent = outer_; }

void CallMessages::collect(bool error, const char* text) noexcept {
  CallMessages* current = tCurrent;
  if (current == nullptr || !error || !current->firstError_.empty()) return;
  try {
    current->firstError_ = text;
  } catch (...) {
    // Out of memory: the reason stays the result code's own text.
  }
}

}  // namespace tarnwell
