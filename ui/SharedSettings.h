#pragma once

#include <mutex>

#include "app/ConversionSettings.h"

namespace tarnwell::ui {

// The window's own conversion settings. The Settings page writes them on the user interface
// thread while a Convert page worker may be converting; the worker takes a copy before every
// file, so a change takes effect from the next file on.
class SharedSettings {
 public:
  explicit SharedSettings(const ConversionSettings& initial) : settings_(initial) {}

  ConversionSettings snapshot() const {
    std::lock_guard lock(mutex_);
    return settings_;
  }
  void store(const ConversionSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
  }

 private:
  mutable std::mutex mutex_;
  ConversionSettings settings_;
};

}  // namespace tarnwell::ui
