#pragma once

#include <cstdint>
#include <span>

#include "codec/FaxBitReader.h"
#include "codec/FaxPage.h"

namespace tarnwell {

// ---------------------------------------------------------------------------------------------
// Page decoders: Group 3 / Group 4 data of one page into a FaxPage bitmap.
// ---------------------------------------------------------------------------------------------

// What a page decoder is told about the data besides the bytes.
struct FaxDecodeParams {
  int bitOrder = 1;          // 1: bytes as stored; any other value: bytes are bit-reversed first
  uint8_t coding = 5;        // FaxCoding: 3, 4, 5, 6 for decodePage; 7 for decodePageT6
  uint8_t photometric = 0;   // 0 or 1, XORed into every run's colour (0: white runs become 1 bits)
  int32_t width = 1728;      // pixels per row
  int32_t rowLimit = 0;      // most rows stored; rows beyond it are decoded but not stored
  uint32_t t6Options = 0;    // T.6 only: bit 0 set (uncompressed mode) is refused
  int markerCount = 3;       // T.6 only: 0xFF bytes that form a resynchronisation marker; 0: none
};

// Result codes besides the error counts (0 or more) the decoders return.
inline constexpr int kFaxDecodeFailed = -1;  // nothing decodable, refused options, out of memory

// Fills `page` (set-up fields from params, width class, yResolution 100, unit 2) and decodes the
// data with the decoder of params.coding (3 and 4 modified Huffman, 5 T.4 one-dimensional, 6 T.4
// two-dimensional, 7 handed to decodePageT6). The bitmap holds exactly rows * bytesPerRow bytes
// (rows <= rowLimit), 1 bits white when photometric is 0.
// Result: the number of coding errors met (0 for modified Huffman), or kFaxDecodeFailed (rows 0)
// for an unknown coding, a negative width, a failed allocation, or two-dimensional data without
// an EOL followed by tag bit 1.
[[nodiscard]] int decodePage(std::span<const uint8_t> data, const FaxDecodeParams& params,
                             FaxPage& page);
// The T.6 decoder (coding 7). kFaxDecodeFailed when t6Options has bit 0 set, the width is not
// positive or no row decodes; otherwise the number of invalid codes met.
[[nodiscard]] int decodePageT6(std::span<const uint8_t> data, const FaxDecodeParams& params,
                               FaxPage& page);
// T.4 one-dimensional, row-complete variant (coding 5 in the page record): a row counts as soon
// as its length reaches the width, whether or not an EOL follows. With skipWords the reader
// aligns to a byte and skips one 16-bit value at the start and after every completed row.
[[nodiscard]] int decodePageT4RowComplete(std::span<const uint8_t> data,
                                          const FaxDecodeParams& params, bool skipWords,
                                          FaxPage& page);

// ---------------------------------------------------------------------------------------------
// Decoding loops and row sinks: one loop per coding; what becomes of a row is the sink's affair
// (store it in a bitmap, append it to a work file and track segments, measure its width).
// ---------------------------------------------------------------------------------------------

// How a row ended.
enum class FaxRowEnd : uint8_t {
  kComplete,  // its last code brought it to the width (modified Huffman, T.6, row-complete T.4)
  kEol,       // an EOL code ended it (T.4); in T.6 an EOL code, which drops the row begun
  kTooLong,   // a run took it past the width (T.4 and modified Huffman; T.6 see kComplete)
  kInvalid,   // an invalid code, or (two-dimensionally) the extension code
  kDataEnd,   // the data ended inside it
};

// One row as a loop hands it to its sink.
struct FaxRowView {
  FaxRowEnd end = FaxRowEnd::kComplete;
  bool twoDimensional = false;  // coded against the reference row (T.4 tag 0, every T.6 row)
  // Pixels decoded: a0 when the row ended. In T.6 a complete row may pass the width.
  int64_t length = 0;
  // Positions where the colour changes, strictly ascending, the first run white: pixels before
  // changes[0] are white, from changes[0] black, and so on. Every position is <= length and
  // < the loop's width. Valid only during the call.
  std::span<const int32_t> changes;
  uint64_t codeEndBit = 0;  // bit position after the row's last run or mode code
  // Bit position of the reader when the row ended: after the EOL (kEol), at the invalid code
  // (kInvalid), after the last code otherwise. A T.4 two-dimensional tag bit is not yet read.
  uint64_t bitPosition = 0;
  // T.6 only: the row is complete and coded with vertical-mode-0 codes alone, so it repeats its
  // reference row. Such a row is a run of 1 bits, which decodes in either bit order and at any
  // width at which its reference row decoded.
  bool repeatsReference = false;
};

// What the loop does after a row.
enum class FaxSinkAction : uint8_t {
  kContinue,  // the coding's own rule (T.4 after kInvalid/kTooLong: resynchronise; MH: stop)
  kResync,    // resynchronise before the next row (next EOL; 2-D: EOL with tag 1; T.6: marker)
  kStop,      // end decoding now
};

// A row consumer. The loops call it once per row outcome, in stream order.
class FaxRowSink {
 public:
  virtual FaxSinkAction row(const FaxRowView& row) = 0;
  // The loop resynchronised (or, with findFirstEol/findFirstMarker, found its start): decoding
  // resumes at bitPosition, which is after the EOL (one-dimensional), after the EOL and its tag
  // bit 1 (two-dimensional) or on the first bit after the marker (T.6).
  virtual void resynced(uint64_t bitPosition) { (void)bitPosition; }

 protected:
  ~FaxRowSink() = default;
};

// Options of the loops (each loop reads the ones that concern it).
struct FaxLoopOptions {
  // Row width. With exactWidth false (width probes) it is the largest row length accepted: any
  // row of 1 to width pixels ending at an EOL is a whole row, and a two-dimensional row takes its
  // reference row's length as its end.
  int64_t width = 1728;
  bool exactWidth = true;
  bool wordAligned = false;      // modified Huffman rows on even byte offsets (coding 4)
  bool findFirstEol = false;     // T.4 one-dimensional: search the first EOL before decoding
  bool rowComplete = false;      // T.4 one-dimensional: a row ends on reaching the width
  bool skipWords = false;        // row-complete: align and skip 16 bits at the start and per row
  int markerCount = 3;           // T.6: resynchronise on this many 0xFF bytes; 0: stop instead
  bool findFirstMarker = false;  // T.6: search the first marker before decoding
  // T.6: while the reference row is blank, pass over 1 bits without reporting them (each is a
  // blank row coded against the blank reference row, which tells a width probe nothing).
  bool skipBlankCopies = false;
};

// Result of the loops: number of coding errors (invalid codes; two-dimensionally also rows of a
// wrong length), or kFaxDecodeFailed (out of memory; T.4 2-D: no EOL followed by tag bit 1;
// T.6: width not positive).
//
// Modified Huffman (codings 3, 4): rows end on reaching the width (kComplete, then alignRow);
// kTooLong, kInvalid and kDataEnd end decoding.
[[nodiscard]] int runModifiedHuffman(FaxBitReader& reader, const FaxLoopOptions& options,
                                     FaxRowSink& sink);
// T.4 one-dimensional (coding 5, and the row-complete variant): rows end at EOL codes (kEol with
// any length); kInvalid counts an error; kInvalid and kTooLong resynchronise on the next EOL.
[[nodiscard]] int runT4OneD(FaxBitReader& reader, const FaxLoopOptions& options,
                            FaxRowSink& sink);
// T.4 two-dimensional (coding 6): starts at the first EOL followed by tag bit 1; rows end at EOL
// codes. A row of the width (or, with exactWidth false, of 1 to width pixels) becomes the
// reference row; any other non-empty row or an invalid code counts an error and resynchronises
// on the next EOL followed by tag bit 1 (the EOL that ended the row included).
[[nodiscard]] int runT4TwoD(FaxBitReader& reader, const FaxLoopOptions& options,
                            FaxRowSink& sink);
// T.6 (coding 7): rows end when a0 reaches or passes the width (kComplete) and become the
// reference row. An EOL code (kEol) resets the reference row to white; an invalid code (kInvalid,
// counted) resets it and resynchronises on the next marker of markerCount 0xFF bytes.
[[nodiscard]] int runT6(FaxBitReader& reader, const FaxLoopOptions& options, FaxRowSink& sink);

}  // namespace tarnwell
