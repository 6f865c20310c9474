#include "pdfout/tiffio/tiff_photometric.h"

namespace tarnwell {

bool tiff_read_photometric(TIFF* tif, uint16_t& photometric) {
  if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0) return true;
  uint16_t compression = COMPRESSION_NONE, bits = 1, samples = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  const bool fax = compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW ||
                   compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
  if (!fax || bits != 1 || samples != 1) return false;
  photometric = PHOTOMETRIC_MINISWHITE;
  return true;
}

}  // namespace tarnwell
