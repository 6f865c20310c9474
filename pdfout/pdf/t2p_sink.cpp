#include "pdfout/pdf/t2p_sink.h"

#include <unistd.h>

#include <cstdarg>
#include <new>
#include <vector>

#include "pdfout/pdf/pdf_digest.h"

namespace tarnwell {

size_t PdfSink::write(const void* data, size_t size) {
  if (sealed_ || size == 0) return 0;
  if (failed_ || !put(data, size)) {
    failed_ = true;
    return 0;
  }
  count_ += size;
  if (digest_ != nullptr) digest_->update(data, size);
  return size;
}

size_t PdfSink::printf(const char* format, ...) {
  char small[256];
  va_list ap;
  va_start(ap, format);
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  size_t written = 0;
  if (n < 0) {
    failed_ = true;
  } else if (static_cast<size_t>(n) < sizeof small) {
    written = write(small, static_cast<size_t>(n));
  } else {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    written = write(big.data(), static_cast<size_t>(n));
  }
  va_end(again);
  return written;
}

std::unique_ptr<FileSink> FileSink::open(const std::string& path) {
  if (path == "-") return std::unique_ptr<FileSink>(new FileSink(stdout, false));
  auto replacement = std::make_unique<platform::ReplacementFile>(path);
  if (replacement->fd() < 0) return nullptr;
  std::FILE* file = ::fdopen(replacement->fd(), "wb");
  if (file == nullptr) return nullptr;  // the replacement closes its descriptor
  (void)replacement->releaseDescriptor();  // the stream closes it now
  std::unique_ptr<FileSink> sink(new (std::nothrow) FileSink(file, true));
  if (!sink) {
    std::fclose(file);
    return nullptr;
  }
  sink->replacement_ = std::move(replacement);
  return sink;
}

FileSink::~FileSink() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
  // A staged file that was not committed goes with the replacement.
}

bool FileSink::put(const void* data, size_t size) {
  if (file_ == nullptr || std::fwrite(data, 1, size, file_) != size) return false;
  // A large staged PDF goes to the disk while the rest is written, a few megabytes at a time,
  // so that the fsync before its rename does not wait for all of it at once.
  constexpr uint64_t kWritebackBytes = uint64_t{4} << 20;
  unsynced_ += size;
  if (unsynced_ >= kWritebackBytes && replacement_ && replacement_->staged()) {
    unsynced_ = 0;
    if (std::fflush(file_) != 0) return false;
    platform::startWriteback(fileno(file_));
  }
  return true;
}

bool FileSink::finish() {
  if (finished_) return finishedWell_ && !failed();
  finished_ = true;
  if (file_ == nullptr) return !failed();
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  // A staged file must be on the disk before its rename makes it the destination.
  if (ok && replacement_ && replacement_->staged() && ::fsync(fileno(file_)) != 0) ok = false;
  if (owned_ && std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  finishedWell_ = ok;
  return ok && !failed();
}

bool FileSink::commit() {
  if (!finished_ || !finishedWell_ || failed()) return false;
  return !replacement_ || replacement_->commit();
}

}  // namespace tarnwell
