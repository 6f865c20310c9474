#include "pdfout/tiffio/tiff_io.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace tarnwell {

namespace {

int countMessage(TIFF*, void* userData, const char*, const char*, va_list) {
  ++static_cast<TiffMessageCount*>(userData)->count;
  return 0;  // the process-wide handler sees the message too
}

struct OptionsFree {
  void operator()(TIFFOpenOptions* options) const noexcept { TIFFOpenOptionsFree(options); }
};

TiffMemoryStream& streamOf(thandle_t handle) { return *static_cast<TiffMemoryStream*>(handle); }

tmsize_t memoryRead(thandle_t handle, void* buffer, tmsize_t size) {
  TiffMemoryStream& stream = streamOf(handle);
  if (size <= 0 || stream.position >= stream.bytes.size()) return 0;
  const uint64_t available = stream.bytes.size() - stream.position;
  const auto count =
      static_cast<std::size_t>(std::min<uint64_t>(available, static_cast<uint64_t>(size)));
  std::memcpy(buffer, stream.bytes.data() + stream.position, count);
  stream.position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t memoryWrite(thandle_t handle, void* data, tmsize_t size) {
  TiffMemoryStream& stream = streamOf(handle);
  if (stream.written == nullptr || size < 0) return -1;
  std::vector<uint8_t>& bytes = *stream.written;
  if (stream.position > UINT64_MAX - static_cast<uint64_t>(size)) return -1;
  const uint64_t end = stream.position + static_cast<uint64_t>(size);
  try {
    if (end > bytes.size()) bytes.resize(static_cast<size_t>(end));
  } catch (const std::exception&) {
    return -1;
  }
  if (size > 0) std::memcpy(bytes.data() + stream.position, data, static_cast<size_t>(size));
  stream.bytes = bytes;
  stream.position = end;
  return size;
}

toff_t memorySeek(thandle_t handle, toff_t offset, int whence) {
  TiffMemoryStream& stream = streamOf(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = stream.position;
  else if (whence == SEEK_END) base = stream.bytes.size();
  else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
  // Offsets are unsigned; a position past the end is allowed, reads there return nothing.
  if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
  stream.position = base + offset;
  return stream.position;
}

int memoryClose(thandle_t) { return 0; }

toff_t memorySize(thandle_t handle) { return streamOf(handle).bytes.size(); }

int memoryMap(thandle_t, void**, toff_t*) { return 0; }

void memoryUnmap(thandle_t, void*, toff_t) {}

}  // namespace

uint64_t allocationBudget(const char* path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  // A file that cannot be measured gets the largest budget; libtiff refuses it anyway when it
  // cannot be read.
  return error ? kMaxCopyBufferBytes : pageBufferBudget(size);
}

void setAllocationBudget(TIFFOpenOptions* options, const char* path) {
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(allocationBudget(path)));
}

TiffHandle openMemory(TiffMemoryStream& stream, const char* name, const char* mode,
                      TIFFOpenOptions* options) {
  stream.position = 0;
  return TiffHandle(TIFFClientOpenExt(name, mode, &stream, memoryRead, memoryWrite, memorySeek,
                                      memoryClose, memorySize, memoryMap, memoryUnmap, options));
}

TiffHandle openMemoryCountingMessages(TiffMemoryStream& stream, const char* name,
                                      TiffMessageCount& messages) {
  messages = TiffMessageCount{};
  stream.position = 0;
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return {};
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), countMessage, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), countMessage, &messages);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                      static_cast<tmsize_t>(pageBufferBudget(stream.bytes.size())));
  // "m": no mapping; the reads copy from the buffer like plain file reads do.
  TiffHandle handle = openMemory(stream, name, "rm", options.get());
  messages.counting = handle != nullptr;
  return handle;
}

TiffHandle openCountingMessages(const char* path, const char* mode, TiffMessageCount& messages) {
  messages = TiffMessageCount{};
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return TiffHandle(TIFFOpen(path, mode));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), countMessage, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), countMessage, &messages);
  setAllocationBudget(options.get(), path);
  TiffHandle handle(TIFFOpenExt(path, mode, options.get()));
  messages.counting = handle != nullptr;
  return handle;
}

TiffHandle openOutput(const char* path, const char* mode, uint64_t budget) {
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return {};
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(budget));
  // The output is a working file: opened here under the working-file rules (never through a
  // link, made afresh with mode 0600) and handed to libtiff as a descriptor. Appending keeps an
  // existing file of this user and makes a new one when there is none.
  const bool append = mode != nullptr && mode[0] == 'a';
  int fd = append ? platform::openWorkingFile(path, platform::WorkingFileMode::kUpdate) : -1;
  if (fd < 0) fd = platform::openWorkingFile(path, platform::WorkingFileMode::kCreate);
  if (fd < 0) return {};
  TiffHandle handle(TIFFFdOpenExt(fd, path, mode, options.get()));
  // libtiff closes the descriptor with the handle, but not when the open fails.
  if (!handle) ::close(fd);
  return handle;
}

TiffHandle openWithBudget(const char* path, const char* mode) {
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return TiffHandle(TIFFOpen(path, mode));
  setAllocationBudget(options.get(), path);
  return TiffHandle(TIFFOpenExt(path, mode, options.get()));
}

}  // namespace tarnwell
