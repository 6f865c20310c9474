#include "pdfout/copy/tiff_copy_tags.h"

#include <array>

#include "pdfout/tiffio/messages.h"

namespace tarnwell {

namespace {

using T = CopiedTagType;

// WhitePoint holds two rationals and libtiff hands it out as one array pointer; reading it as
// a single value would let libtiff store a pointer into a float, so it is copied as an array.
constexpr std::array<CopiedTag, 33> kCopiedTags{{
    {TIFFTAG_SUBFILETYPE, 1, T::Long},
    {TIFFTAG_THRESHHOLDING, 1, T::Short},
    {TIFFTAG_DOCUMENTNAME, 1, T::Ascii},
    {TIFFTAG_IMAGEDESCRIPTION, 1, T::Ascii},
    {TIFFTAG_MAKE, 1, T::Ascii},
    {TIFFTAG_MODEL, 1, T::Ascii},
    {TIFFTAG_MINSAMPLEVALUE, 1, T::Short},
    {TIFFTAG_MAXSAMPLEVALUE, 1, T::Short},
    {TIFFTAG_XRESOLUTION, 1, T::Rational},
    {TIFFTAG_YRESOLUTION, 1, T::Rational},
    {TIFFTAG_PAGENAME, 1, T::Ascii},
    {TIFFTAG_XPOSITION, 1, T::Rational},
    {TIFFTAG_YPOSITION, 1, T::Rational},
    {TIFFTAG_RESOLUTIONUNIT, 1, T::Short},
    {TIFFTAG_SOFTWARE, 1, T::Ascii},
    {TIFFTAG_DATETIME, 1, T::Ascii},
    {TIFFTAG_ARTIST, 1, T::Ascii},
    {TIFFTAG_HOSTCOMPUTER, 1, T::Ascii},
    {TIFFTAG_WHITEPOINT, -1, T::Rational},
    {TIFFTAG_PRIMARYCHROMATICITIES, -1, T::Rational},
    {TIFFTAG_HALFTONEHINTS, 2, T::Short},
    {TIFFTAG_INKSET, 1, T::Short},
    {TIFFTAG_DOTRANGE, 2, T::Short},
    {TIFFTAG_TARGETPRINTER, 1, T::Ascii},
    {TIFFTAG_SAMPLEFORMAT, 1, T::Short},
    {TIFFTAG_YCBCRCOEFFICIENTS, -1, T::Rational},
    {TIFFTAG_YCBCRSUBSAMPLING, 2, T::Short},
    {TIFFTAG_YCBCRPOSITIONING, 1, T::Short},
    {TIFFTAG_REFERENCEBLACKWHITE, -1, T::Rational},
    {TIFFTAG_EXTRASAMPLES, -1, T::Short},
    {TIFFTAG_SMINSAMPLEVALUE, 1, T::Double},
    {TIFFTAG_SMAXSAMPLEVALUE, 1, T::Double},
    {TIFFTAG_STONITS, 1, T::Double},
}};

void copyShort(TIFF* in, TIFF* out, const CopiedTag& t) {
  switch (t.count) {
    case 1: {
      uint16_t v = 0;
      if (TIFFGetField(in, t.tag, &v)) TIFFSetField(out, t.tag, v);
      break;
    }
    case 2: {
      uint16_t a = 0, b = 0;
      if (TIFFGetField(in, t.tag, &a, &b)) TIFFSetField(out, t.tag, a, b);
      break;
    }
    case -1: {
      uint16_t n = 0;
      uint16_t* values = nullptr;
      if (TIFFGetField(in, t.tag, &n, &values) && values != nullptr) {
        TIFFSetField(out, t.tag, n, values);
      }
      break;
    }
    case 4: {
      uint16_t* red = nullptr;
      uint16_t* green = nullptr;
      uint16_t* blue = nullptr;
      if (TIFFGetField(in, t.tag, &red, &green, &blue) && red != nullptr) {
        // A single-table source hands out one pointer; the output may want three.
        if (green == nullptr) green = red;
        if (blue == nullptr) blue = red;
        TIFFSetField(out, t.tag, red, green, blue);
      }
      break;
    }
    default:
      break;
  }
}

void copyFloating(TIFF* in, TIFF* out, const CopiedTag& t) {
  if (t.count == 1 && t.type == T::Rational) {
    float v = 0;
    if (TIFFGetField(in, t.tag, &v)) TIFFSetField(out, t.tag, static_cast<double>(v));
  } else if (t.count == 1) {
    double v = 0;
    if (TIFFGetField(in, t.tag, &v)) TIFFSetField(out, t.tag, v);
  } else if (t.type == T::Rational) {
    float* values = nullptr;
    if (TIFFGetField(in, t.tag, &values) && values != nullptr) TIFFSetField(out, t.tag, values);
  } else {
    double* values = nullptr;
    if (TIFFGetField(in, t.tag, &values) && values != nullptr) TIFFSetField(out, t.tag, values);
  }
}

}  // namespace

std::span<const CopiedTag> copiedTags() { return kCopiedTags; }

void copyTag(TIFF* in, TIFF* out, const CopiedTag& tag, const char* sourceName) {
  switch (tag.type) {
    case T::Short:
      copyShort(in, out, tag);
      return;
    case T::Long: {
      uint32_t v = 0;
      if (TIFFGetField(in, tag.tag, &v)) TIFFSetField(out, tag.tag, v);
      return;
    }
    case T::Ascii: {
      char* text = nullptr;
      if (TIFFGetField(in, tag.tag, &text) && text != nullptr) TIFFSetField(out, tag.tag, text);
      return;
    }
    case T::Rational:
    case T::Double:
      copyFloating(in, out, tag);
      return;
  }
  TIFFError(kPdfModule, "%s: Data type %d is not supported, tag %d skipped.", sourceName,
            static_cast<int>(tag.type), static_cast<int>(tag.tag));
}

}  // namespace tarnwell
