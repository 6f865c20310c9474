#pragma once

// Helpers shared by the readers that copy each page's own coded bytes into the fax TIFF: the
// probe-based readers (the page's geometry comes from decoding it) and the header-based readers
// (the geometry comes from a page header and decoding only checks it or recounts the rows).

#include <cstdint>
#include <span>

#include "codec/FaxPage.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// Fills `out` as a pass-through page with the geometry, coding and fill order of a decoded page
// record and its coded bytes. False when the record holds no usable page (no width or no rows),
// which the caller then leaves out.
bool passThroughDecoded(const FaxPage& page, std::span<const uint8_t> data, PageToWrite& out);

// What a page header says about its data.
struct HeaderGeometry {
  uint8_t coding = 0;     // a FaxCoding value
  uint8_t fillOrder = 1;  // 1 highest bit first, 2 least bit first
  uint32_t width = 0;
  uint32_t rows = 0;
};

// Decodes header-described data (codings 3 to 7) into `page`, within the engine's bitmap limits:
// a wider page is not decoded, and no more rows are stored than the bitmap limit allows. The
// decoder's result, or kFaxDecodeFailed when the page was not decoded (`page` is then unchanged
// for codings the decoders do not know and for pages too wide).
int decodeByHeader(std::span<const uint8_t> data, const HeaderGeometry& header, FaxPage& page,
                   const DescribeLimits& limits = {});

// Rows of an uncompressed (1) or PackBits (8) page that its data really holds, at most the
// header's rows; the header's rows for any other coding. PackBits data is expanded within the
// bitmap limit of `limits`.
uint32_t rowsHeldByData(std::span<const uint8_t> data, const HeaderGeometry& header,
                        const DescribeLimits& limits = {});

}  // namespace tarnwell
