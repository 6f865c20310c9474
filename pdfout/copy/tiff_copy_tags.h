#pragma once

// The descriptive tags that the TIFF page copy carries unchanged from every source image.

#include <tiffio.h>

#include <cstdint>
#include <span>

namespace tarnwell {

enum class CopiedTagType { Short, Long, Ascii, Rational, Double };

// One copied tag: its number, the value count used to read and write it (-1 a counted array
// or one array pointer, 4 the three tables of a colour map or transfer function) and its type.
struct CopiedTag {
  uint32_t tag;
  int count;
  CopiedTagType type;
};

// The tags copied from every image, in copying order.
std::span<const CopiedTag> copiedTags();

// Copies one tag from the current source directory to the output when the source has it.
// sourceName names the source in messages.
void copyTag(TIFF* in, TIFF* out, const CopiedTag& tag, const char* sourceName);

}  // namespace tarnwell
