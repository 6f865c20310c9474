// Fuzz target for the whole conversion of one file: the input bytes become a source file whose
// suffix the first byte chooses (raw, then every ending of the format table's readable formats in
// table order, then a name the classifier does not know), and convertFile takes it through classification, the fax engine, the TIFF
// copy and the PDF writer. The source, the PDF and every working file (handed over as the working
// paths, as a TARNWELL_WORKDIR would) live in one directory per process on /dev/shm, reused by
// every input. Inputs above 256 KiB are skipped; everything else runs under the program's own
// limits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/ConversionJob.h"
#include "app/ConversionSettings.h"
#include "app/FileConversion.h"
#include "faxin/FaxFormat.h"
#include "faxin/FormatClassifier.h"
#include "faxin/FormatTable.h"
#include "fuzz/FuzzSupport.h"
#include "pdfout/tiffio/messages.h"

namespace {

constexpr std::size_t kMaxInput = std::size_t{256} * 1024;
constexpr std::size_t kRawCut = 256;

// Index 0 is a raw fax name, then ".<ending>" for every ending of the table except the names that
// are never faxes; last ".fax", a name the classifier does not know.
std::vector<std::string> sourceSuffixes() {
  std::vector<std::string> suffixes{".g3"};
  for (const tarnwell::FormatRow& row : tarnwell::formatTable()) {
    if (row.code == tarnwell::FaxFormat::kNotFax) continue;
    for (std::string_view ending : row.suffixes) suffixes.push_back("." + std::string(ending));
  }
  suffixes.push_back(".fax");
  return suffixes;
}

// The scratch directory, its working paths and the settings, made once for every input.
struct Workspace {
  tarnwell::fuzz::ScratchDirectory scratch{"convert"};
  std::string directory = scratch.prefix();
  tarnwell::WorkingPaths paths =
      tarnwell::makeWorkingPaths(directory + "tarnwell", directory);
  tarnwell::ConversionSettings settings = tarnwell::ConversionSettings{};
  Workspace() { tarnwell::silenceTiffMessages(); }
};

const Workspace& workspace() {
  static const Workspace made;
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > kMaxInput) return 0;
  const Workspace& r = workspace();
  static const std::vector<std::string> suffixes = sourceSuffixes();
  const std::string& suffix = suffixes[data[0] % suffixes.size()];
  const std::string source = r.directory + "in" + suffix;
  const std::string pdf = r.directory + "out.pdf";
  std::FILE* f = std::fopen(source.c_str(), "wb");
  if (f == nullptr) return 0;
  const bool written = size == 1 || std::fwrite(data + 1, 1, size - 1, f) == size - 1;
  if (std::fclose(f) != 0 || !written) return 0;
  // A source read as raw fax or as PC Research G3 is cut to its first 256 bytes: their readers
  // decode all of it (the raw analysis in several passes), a byte of blank codes is up to eight
  // rows, and longer inputs of these are the raw and the readers targets'.
  const tarnwell::FaxFormat format = tarnwell::classifyFile(source);
  if (size - 1 > kRawCut &&
      (format == tarnwell::FaxFormat::kRaw || format == tarnwell::FaxFormat::kPcResearch)) {
    std::error_code ec;
    std::filesystem::resize_file(source, kRawCut, ec);
  }

  // The settings as the command line makes them. The low bit of the size sets the bit order as
  // a user would (/b=1 or /b=2), so that a raw source is analysed in one order (the automatic
  // choice of both is the raw target's); the next bit asks for non-standard widths (/nw=1728),
  // which the command line leaves off unless asked.
  tarnwell::ConversionSettings settings = r.settings;
  settings.engine.bitOrder = static_cast<uint8_t>(1 + (size & 1));
  settings.engine.nonStandardWidth = static_cast<uint8_t>((size >> 1) & 1);
  tarnwell::ConversionJob job;
  (void)tarnwell::convertFile({source, pdf}, job, settings, r.paths);
  std::remove(pdf.c_str());
  std::remove(source.c_str());
  return 0;
}
