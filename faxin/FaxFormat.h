#pragma once

namespace tarnwell {

// The container code of a source file, chosen from the end of its path (classifyFile).
// Codes outside 1 to 17 go to the raw fax analysis; 15 bypasses the fax engine.
using FaxFormat = int;

namespace fax_format {
inline constexpr FaxFormat kNotFax = -2;
inline constexpr FaxFormat kRaw = 0;
inline constexpr FaxFormat kApf = 1;
inline constexpr FaxFormat kAwd = 2;
inline constexpr FaxFormat kBfx = 3;
inline constexpr FaxFormat kBmp = 4;
inline constexpr FaxFormat kCals = 5;
inline constexpr FaxFormat kDcx = 6;
inline constexpr FaxFormat kDs = 7;
inline constexpr FaxFormat kEd = 8;
inline constexpr FaxFormat kFmf = 9;
inline constexpr FaxFormat kFx = 10;
inline constexpr FaxFormat kPcResearch = 11;
inline constexpr FaxFormat kIg4 = 12;
inline constexpr FaxFormat kQfx = 13;
inline constexpr FaxFormat kTiff = 15;
inline constexpr FaxFormat kTiffFax = 16;
inline constexpr FaxFormat kMrv = 17;
}  // namespace fax_format

}  // namespace tarnwell
