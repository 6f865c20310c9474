#pragma once

// The formats the program knows, one row each: the code, the name, the path endings that give
// it, the reader that opens it and whether it is a container. The classifier, the reader factory
// and the fuzz targets all read this table; a new container is one reader file and one row.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "faxin/FaxFormat.h"

namespace tarnwell {

class FaxReader;
struct EngineSetup;

struct FormatRow {
  FaxFormat code;
  std::string_view name;  // as the user knows the format; empty for a code without a format
  // The path endings that give this code, compared without regard to ASCII letter case. No
  // ending in the table ends with another row's ending, so the order of the rows never decides.
  std::span<const std::string_view> suffixes;
  // For endings that several formats share: looks at the file and returns its code. nullptr
  // when the ending alone decides.
  FaxFormat (*probe)(const std::string& path);
  // Makes the reader of the code with the engine's settings; nullptr when the program has none.
  std::unique_ptr<FaxReader> (*makeReader)(const EngineSetup& setup);
  // Containers are read by a reader of their own; every other code is read as a raw stream.
  bool container;
};

// Every row, in the order the classifier tries their endings.
[[nodiscard]] std::span<const FormatRow> formatTable();

// The row of `code`; codes without a row of their own (never produced by the classifier) get the
// raw stream's row.
[[nodiscard]] const FormatRow& formatRow(FaxFormat code);

// True for the codes of the containers; every other code is read as a raw stream.
[[nodiscard]] bool isContainerCode(FaxFormat format);

// Looks at the first bytes of a "G3F" file: kTiffFax when it begins like a little-endian TIFF,
// kPcResearch when it carries the PC Research header, kRaw otherwise (also when it cannot be
// read).
[[nodiscard]] FaxFormat probeG3fHeader(const std::string& path);

}  // namespace tarnwell
