#pragma once

// libtiff's error and warning messages, collected instead of printed.

#include <string>
#include <vector>

namespace tarnwell::test {

// Collects every message libtiff sends through its error and warning handlers while alive, as
// "module: text"; collectors may nest (each sees the messages of its own lifetime). The handlers
// in place before the first collector come back when the last one goes.
class TiffMessages {
 public:
  TiffMessages();
  ~TiffMessages();
  TiffMessages(const TiffMessages&) = delete;
  TiffMessages& operator=(const TiffMessages&) = delete;

  std::vector<std::string> errors() const;
  std::vector<std::string> warnings() const;
  // Errors and warnings in the order they came.
  std::vector<std::string> messages() const;
  bool hasError(const std::string& text) const;
  bool hasWarning(const std::string& text) const;
  // An error or a warning containing `text`.
  bool has(const std::string& text) const;
  void clear();

  // Called by the handlers.
  void add(bool error, std::string message);

 private:
  std::vector<std::string> errors_, warnings_, all_;
};

// Silences libtiff's errors and warnings for good (no collector needed).
void quietLibtiff();

}  // namespace tarnwell::test
