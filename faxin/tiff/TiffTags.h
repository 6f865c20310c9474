#pragma once

#include <cstdint>

// The TIFF numbers the fax input code reads and writes: field types, tags and compressions.
namespace tarnwell::tiff {

// Field types of a directory entry.
inline constexpr uint16_t kTypeByte = 1;
inline constexpr uint16_t kTypeAscii = 2;
inline constexpr uint16_t kTypeShort = 3;
inline constexpr uint16_t kTypeLong = 4;
inline constexpr uint16_t kTypeRational = 5;
inline constexpr uint16_t kTypeSByte = 6;
inline constexpr uint16_t kTypeUndefined = 7;
inline constexpr uint16_t kTypeSShort = 8;

// Tags.
inline constexpr uint16_t kNewSubfileType = 254;
inline constexpr uint16_t kImageWidth = 256;
inline constexpr uint16_t kImageLength = 257;
inline constexpr uint16_t kBitsPerSample = 258;
inline constexpr uint16_t kCompression = 259;
inline constexpr uint16_t kPhotometric = 262;
inline constexpr uint16_t kFillOrder = 266;
inline constexpr uint16_t kStripOffsets = 273;
inline constexpr uint16_t kOrientation = 274;
inline constexpr uint16_t kSamplesPerPixel = 277;
inline constexpr uint16_t kRowsPerStrip = 278;
inline constexpr uint16_t kStripByteCounts = 279;
inline constexpr uint16_t kXResolution = 282;
inline constexpr uint16_t kYResolution = 283;
inline constexpr uint16_t kPlanarConfiguration = 284;
inline constexpr uint16_t kT4Options = 292;
inline constexpr uint16_t kT6Options = 293;
inline constexpr uint16_t kResolutionUnit = 296;
inline constexpr uint16_t kPageNumber = 297;
inline constexpr uint16_t kSoftware = 305;
inline constexpr uint16_t kDateTime = 306;

// Compression values.
inline constexpr uint16_t kCompressionNone = 1;
inline constexpr uint16_t kCompressionModifiedHuffman = 2;       // CCITT 1-D, rows byte-aligned
inline constexpr uint16_t kCompressionGroup3 = 3;                // T.4
inline constexpr uint16_t kCompressionGroup4 = 4;                // T.6
inline constexpr uint16_t kCompressionModifiedHuffmanWord = 32771;  // rows aligned to words
inline constexpr uint16_t kCompressionPackBits = 32773;

}  // namespace tarnwell::tiff
