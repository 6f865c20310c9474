#pragma once

#include <cstddef>
#include <cstdint>

#include "faxin/readers/FaxReader.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

// The common part of the containers whose pages each begin with a header giving their
// geometry, coding and resolution, followed by the coded data (MRV-FAX and FX). Pages are
// copied unchanged with their header values; decoding describes the first page and, when the
// setup's recountLines asks for it, recounts each page's rows while the pages are written. A
// reader only walks its chain and reads one page header.
class HeaderedPageReader : public FaxReader {
 public:
  explicit HeaderedPageReader(const EngineSetup& setup = {})
      : FaxReader(setup), recountLines_(setup.settings.recountLines != 0) {}
  bool canWriteEachPage() const override { return true; }
  bool hasHeaderCheck() const override { return false; }

 protected:
  struct HeaderedPage {
    HeaderGeometry geometry;
    uint16_t xResolution = 0;
    uint16_t yResolution = 0;
  };
  // Reads the header of page `index` and loads its data. 0, or negative when it has no data.
  virtual int loadPage(std::size_t index, HeaderedPage& out) = 0;
  // Loads the data behind a header at `dataPosition`: a size past the end of the file is cut
  // to what follows. 0, or negative when no data is there.
  int loadDataBehindHeader(uint64_t dataPosition, uint32_t size);

  int readPage(int index, FaxPage& page) final;
  int preparePage(int index, FaxPage& page, PageToWrite& out) final;

 private:
  bool recountLines_;
};

}  // namespace tarnwell
