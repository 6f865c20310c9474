#include "faxin/FaxConverter.h"

namespace tarnwell {

// Placeholder until the readers land: no file is recognised.
struct FaxConverter::Readers {};

FaxConverter::FaxConverter() : readers_(std::make_unique<Readers>()) {}
FaxConverter::~FaxConverter() = default;

int FaxConverter::open(const std::string&, FaxFormat format) { return readPageInfo(format, 0); }

int FaxConverter::readPageInfo(FaxFormat, int) {
  valid_ = page_.width > 0 && page_.rows > 0;
  return 0;
}

int FaxConverter::convert(const std::string&, FaxFormat) { return -1; }

}  // namespace tarnwell
