#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tarnwell {

class Md5;

// Byte sink of the PDF writer. Every write returns the bytes it wrote and adds them to the
// running count, which gives the offsets of objects and of the cross-reference table. A failed
// write is remembered; after seal() further writes are ignored.
class PdfSink {
 public:
  PdfSink() = default;
  virtual ~PdfSink() = default;
  PdfSink(const PdfSink&) = delete;
  PdfSink& operator=(const PdfSink&) = delete;

  size_t write(const void* data, size_t size);
  size_t write(std::string_view text) { return write(text.data(), text.size()); }
  size_t printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  uint64_t count() const { return count_; }
  // Feeds every byte written from now on to `digest` as well (nullptr: to none). The digest
  // must outlive the writes.
  void digestInto(Md5* digest) { digest_ = digest; }
  bool failed() const { return failed_; }
  void seal() { sealed_ = true; }
  // Flushes and closes the destination; false when anything could not be written.
  virtual bool finish() { return !failed_; }
  // After a successful finish(): makes the written file the destination. False when it cannot.
  virtual bool commit() { return true; }
  // True when a failed conversion leaves the destination as it was without further help (the
  // bytes went to a staged file that goes with the sink).
  virtual bool leavesDestinationOnFailure() const { return false; }

 protected:
  // Stores the bytes; false when they could not all be stored.
  virtual bool put(const void* data, size_t size) = 0;

 private:
  uint64_t count_ = 0;
  bool failed_ = false;
  bool sealed_ = false;
  Md5* digest_ = nullptr;
};

// A sink on a file; "-" is standard output. The bytes go to a staged file beside the
// destination, which commit() renames over it once finish() has written them to the disk, so
// the destination holds its old contents until the new ones are complete (see
// platform::ReplacementFile; a device is written in place).
class FileSink : public PdfSink {
 public:
  // nullptr when the file cannot be created.
  static std::unique_ptr<FileSink> open(const std::string& path);
  ~FileSink() override;
  bool finish() override;
  bool commit() override;
  bool leavesDestinationOnFailure() const override { return replacement_ != nullptr; }

 protected:
  bool put(const void* data, size_t size) override;

 private:
  FileSink(std::FILE* file, bool owned) : file_(file), owned_(owned) {}
  std::FILE* file_;
  bool owned_;
  bool finished_ = false;
  bool finishedWell_ = false;
  uint64_t unsynced_ = 0;  // bytes put since the disk last started taking them
  std::unique_ptr<platform::ReplacementFile> replacement_;
};

}  // namespace tarnwell
