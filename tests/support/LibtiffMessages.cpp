#include "support/LibtiffMessages.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace tarnwell::test {

namespace {

std::mutex gLock;
std::vector<TiffMessages*> gActive;
TIFFErrorHandler gPreviousError = nullptr, gPreviousWarning = nullptr;

std::string format(const char* module, const char* fmt, va_list ap) {
  char text[2048];
  std::vsnprintf(text, sizeof text, fmt, ap);
  return std::string(module != nullptr ? module : "") + ": " + text;
}

void onError(const char* module, const char* fmt, va_list ap) {
  const std::string message = format(module, fmt, ap);
  std::lock_guard<std::mutex> hold(gLock);
  for (TiffMessages* m : gActive) m->add(true, message);
}

void onWarning(const char* module, const char* fmt, va_list ap) {
  const std::string message = format(module, fmt, ap);
  std::lock_guard<std::mutex> hold(gLock);
  for (TiffMessages* m : gActive) m->add(false, message);
}

bool anyContains(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

}  // namespace

TiffMessages::TiffMessages() {
  std::lock_guard<std::mutex> hold(gLock);
  if (gActive.empty()) {
    gPreviousError = TIFFSetErrorHandler(onError);
    gPreviousWarning = TIFFSetWarningHandler(onWarning);
  }
  gActive.push_back(this);
}

TiffMessages::~TiffMessages() {
  std::lock_guard<std::mutex> hold(gLock);
  gActive.erase(std::remove(gActive.begin(), gActive.end(), this), gActive.end());
  if (gActive.empty()) {
    TIFFSetErrorHandler(gPreviousError);
    TIFFSetWarningHandler(gPreviousWarning);
  }
}

void TiffMessages::add(bool error, std::string message) {
  (error ? errors_ : warnings_).push_back(message);
  all_.push_back(std::move(message));
}

std::vector<std::string> TiffMessages::errors() const {
  std::lock_guard<std::mutex> hold(gLock);
  return errors_;
}

std::vector<std::string> TiffMessages::warnings() const {
  std::lock_guard<std::mutex> hold(gLock);
  return warnings_;
}

std::vector<std::string> TiffMessages::messages() const {
  std::lock_guard<std::mutex> hold(gLock);
  return all_;
}

bool TiffMessages::hasError(const std::string& text) const { return anyContains(errors(), text); }
bool TiffMessages::hasWarning(const std::string& text) const { return anyContains(warnings(), text); }
bool TiffMessages::has(const std::string& text) const { return anyContains(messages(), text); }

void TiffMessages::clear() {
  std::lock_guard<std::mutex> hold(gLock);
  errors_.clear();
  warnings_.clear();
  all_.clear();
}

void quietLibtiff() {
  std::lock_guard<std::mutex> hold(gLock);
  // A live collector keeps its handlers; the quiet ones take over when it goes.
  if (gActive.empty()) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  } else {
    gPreviousError = nullptr;
    gPreviousWarning = nullptr;
  }
}

}  // namespace tarnwell::test
