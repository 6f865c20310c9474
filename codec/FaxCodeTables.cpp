#include "codec/FaxCodeTables.h"

#include <cstddef>

namespace tarnwell {
namespace {

// A table under construction: every index gets the code word that starts it; `claims` counts the
// words that claimed an index, so that overlapping or missing words can be caught at compile time.
template <int IndexBits>
struct TableBuild {
  std::array<FaxTableEntry, 1 << IndexBits> entries{};
  std::array<uint8_t, 1 << IndexBits> claims{};

  constexpr void add(const FaxCodeWord& word, uint8_t kind) {
    const int spare = IndexBits - word.bits;
    const int first = word.code << spare;
    for (int i = 0; i < (1 << spare); ++i) {
      entries[first + i] = FaxTableEntry{word.value, word.bits, kind};
      ++claims[first + i];
    }
  }
  template <std::size_t N>
  constexpr void addAll(const FaxCodeWord (&words)[N], uint8_t kind) {
    for (const FaxCodeWord& word : words) add(word, kind);
  }
  // Indices starting with `zeroBits` 0 bits belong to the EOL / fill / invalid handling.
  constexpr void addZeros(int zeroBits) {
    for (int i = 0; i < (1 << (IndexBits - zeroBits)); ++i) {
      entries[i] = FaxTableEntry{0, 0, kFaxZeros};
      ++claims[i];
    }
  }
  constexpr bool eachIndexClaimedOnce() const {
    for (uint8_t c : claims) {
      if (c != 1) return false;
    }
    return true;
  }
};

template <int IndexBits>
constexpr TableBuild<IndexBits> buildRunTable(const auto& terminating, const auto& makeUp) {
  TableBuild<IndexBits> build;
  build.addAll(terminating, kFaxTerminating);
  build.addAll(makeUp, kFaxMakeUp);
  build.addAll(kExtendedMakeUpCodes, kFaxMakeUp);
  build.addZeros(8);
  return build;
}

constexpr TableBuild<kFaxModeIndexBits> buildModeTable() {
  TableBuild<kFaxModeIndexBits> build;
  build.add(kPassCode, kFaxPass);
  build.add(kHorizontalCode, kFaxHorizontal);
  build.addAll(kVerticalCodes, kFaxVertical);
  // 0000001 starts the extension code; no valid mode word begins so.
  build.add(FaxCodeWord{0b0000001, 7, 0}, kFaxExtension);
  build.addZeros(7);
  return build;
}

constexpr auto kWhiteBuild =
    buildRunTable<kFaxWhiteIndexBits>(kWhiteTerminatingCodes, kWhiteMakeUpCodes);
constexpr auto kBlackBuild =
    buildRunTable<kFaxBlackIndexBits>(kBlackTerminatingCodes, kBlackMakeUpCodes);
constexpr auto kModeBuild = buildModeTable();

// The code words of each colour form a complete prefix code apart from the EOL's zeros.
static_assert(kWhiteBuild.eachIndexClaimedOnce(), "white code words overlap or leave gaps");
static_assert(kBlackBuild.eachIndexClaimedOnce(), "black code words overlap or leave gaps");
static_assert(kModeBuild.eachIndexClaimedOnce(), "mode code words overlap or leave gaps");

}  // namespace

const std::array<FaxTableEntry, 1 << kFaxWhiteIndexBits> kFaxWhiteTable = kWhiteBuild.entries;
const std::array<FaxTableEntry, 1 << kFaxBlackIndexBits> kFaxBlackTable = kBlackBuild.entries;
const std::array<FaxTableEntry, 1 << kFaxModeIndexBits> kFaxModeTable = kModeBuild.entries;

}  // namespace tarnwell
