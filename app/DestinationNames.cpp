#include "app/DestinationNames.h"

#include <string_view>

#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

}  // namespace

bool endsWithPdf(const std::string& path) {
  if (path.size() < 3) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - 3);
  auto is = [](char c, char lower) { return c == lower || c == lower - 'a' + 'A'; };
  return is(tail[0], 'p') && is(tail[1], 'd') && is(tail[2], 'f');
}

std::string destinationFor(const ConversionJob& job, const std::string& source) {
  std::string name = source;
  if (!job.keepSourceExtension) {
    // Only a dot inside the file name starts an extension; a dot in a directory name does not,
    // and neither does the dot of a name such as ".profile".
    const auto lastSep = name.rfind(kSep);
    const std::size_t nameStart = lastSep == std::string::npos ? 0 : lastSep + 1;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > nameStart) name.erase(dot);
  }
  name += ".pdf";
  if (job.keepHierarchy == 1) {
    // Only the leading source directory is replaced; the same text further on is a directory
    // of the tree and stays.
    if (name.starts_with(job.sourcePath))
      name = job.destinationPath + name.substr(job.sourcePath.size());
    return name;
  }
  const auto lastSep = name.rfind(kSep);
  if (lastSep != std::string::npos && lastSep > 0) name.erase(0, lastSep + 1);
  return job.destinationPath + kSep + name;
}

}  // namespace tarnwell
