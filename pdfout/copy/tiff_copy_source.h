#pragma once

// The source of a TIFF copy: a file name, optionally followed by a list of image (directory)
// numbers after a ',' ("fax.tif,3,0" copies directories 3 and 0 in that order).

#include <tiffio.h>

#include <cstddef>
#include <string>

namespace tarnwell {

struct SourceName {
  std::string fileName;
  bool hasList = false;  // a non-empty list of image numbers follows the file name
  std::string list;      // the text after the ',' that ends the file name
};

// Splits a source name into file name and image list. A name that is itself an existing file
// is never split, so folders and files whose names hold a ',' can be copied; otherwise the
// name is cut at the first ',' after which an existing file name ends (the first ',' at all
// when no prefix names a file).
SourceName splitSourceName(const std::string& name);

// Walks an image list and selects each listed directory in turn.
class ImageList {
 public:
  enum class Step { Selected, End, NotFound };

  ImageList(std::string fileName, std::string list);

  // Selects the next listed directory of `in`. End when the list is used up; NotFound (after
  // reporting why) when the number is malformed or names no directory.
  Step selectNext(TIFF* in);

 private:
  std::string fileName_;
  std::string list_;
  size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace tarnwell
