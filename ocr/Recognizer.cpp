#include "ocr/Recognizer.h"

#include <dlfcn.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>

namespace tarnwell::ocr {
namespace {

// Pages whose horizontal resolution is at least this many times the vertical one are
// stretched to square pixels: a normal-resolution fax (204 x 98 dpi) has rows twice as far
// apart as its pixels, which the recogniser reads poorly.
constexpr float kStretchFrom = 1.5f;
// Most rows a page may have after stretching (a fax page is a few thousand).
constexpr uint64_t kMaxStretchedRows = 60000;
// Resolution assumed when the page names none.
constexpr int kAssumedResolution = 200;

bool languageChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

std::vector<std::string> splitLanguages(const std::string& languages) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (true) {
    const std::size_t plus = languages.find('+', start);
    names.push_back(languages.substr(start, plus == std::string::npos ? plus : plus - start));
    if (plus == std::string::npos) return names;
    start = plus + 1;
  }
}

// One engine for one worker thread.
class Engine {
 public:
  // Starts the engine; false, with a line for the user in `problem`, when a language is missing.
  bool start(const std::string& languages, std::string& problem) {
    if (api_.Init(nullptr, languages.c_str(), tesseract::OEM_DEFAULT) != 0) {
      problem = "text recognition: language data for '" + languages + "' is not installed";
      return false;
    }
    // A language list whose later names are missing still starts with the first; every named
    // language must be there, or the text would be read in the wrong script.
    std::vector<std::string> loaded;
    api_.GetLoadedLanguagesAsVector(&loaded);
    for (const std::string& name : splitLanguages(languages)) {
      if (std::find(loaded.begin(), loaded.end(), name) == loaded.end()) {
        problem = "text recognition: language data for '" + name + "' is not installed";
        return false;
      }
    }
    started_ = true;
    return true;
  }

  PageText recognize(const PageBitmap& page) {
    PageText text;
    text.width = page.width;
    text.rows = page.rows;
    if (!started_ || page.width == 0 || page.rows == 0 || page.bytesPerRow < (page.width + 7) / 8 ||
        page.bits.size() / page.bytesPerRow < page.rows || page.width > INT32_MAX / 8)
      return text;

    // A page with rows much further apart than its pixels is stretched until the pixels are
    // square, as a renderer would show it at its horizontal resolution. The new rows are grey,
    // blended from the page rows around them: the recogniser reads such a page better than one
    // with every row repeated.
    uint32_t rows = page.rows;
    if (page.xResolution > 0 && page.yResolution > 0 &&
        page.xResolution >= kStretchFrom * page.yResolution) {
      const double stretched =
          std::round(static_cast<double>(page.rows) * page.xResolution / page.yResolution);
      if (stretched <= static_cast<double>(kMaxStretchedRows))
        rows = static_cast<uint32_t>(stretched);
    }
    if (rows != page.rows) {
      stretchGrey(page, rows);
      api_.SetImage(stretched_.data(), static_cast<int>(page.width), static_cast<int>(rows), 1,
                    static_cast<int>(page.width));
    } else {
      api_.SetImage(page.bits.data(), static_cast<int>(page.width), static_cast<int>(rows), 0,
                    static_cast<int>(page.bytesPerRow));
    }
    const float xres = page.xResolution > 0 ? page.xResolution : kAssumedResolution;
    api_.SetSourceResolution(static_cast<int>(std::lround(xres)));
    if (api_.Recognize(nullptr) != 0) {
      api_.Clear();
      return text;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api_.GetIterator());
    if (it) {
      do {
        if (it->Empty(tesseract::RIL_WORD)) continue;
        std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_WORD));
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!utf8 || utf8[0] == '\0' ||
            !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
          continue;
        Word word;
        word.text = utf8.get();
        word.left = std::clamp<int32_t>(left, 0, static_cast<int32_t>(page.width));
        word.right = std::clamp<int32_t>(right, word.left, static_cast<int32_t>(page.width));
        // Rows of the stretched page back to rows of the page: the top row down, the bottom
        // (exclusive) row up.
        const int64_t t = int64_t{std::max(top, 0)} * page.rows / rows;
        const int64_t b = (int64_t{std::max(bottom, 0)} * page.rows + rows - 1) / rows;
        word.top = static_cast<int32_t>(std::min<int64_t>(t, page.rows));
        word.bottom = static_cast<int32_t>(std::clamp<int64_t>(b, word.top, page.rows));
        if (word.right > word.left && word.bottom > word.top) text.words.push_back(std::move(word));
      } while (it->Next(tesseract::RIL_WORD));
    }
    api_.Clear();
    text.recognised = true;
    return text;
  }

  ~Engine() { api_.End(); }

  // One byte a pixel, 255 white: each stretched row blends the two page rows nearest to its
  // centre in proportion to their distance.
  void stretchGrey(const PageBitmap& page, uint32_t rows) {
    stretched_.resize(std::size_t{rows} * page.width);
    const double scale = static_cast<double>(page.rows) / rows;
    for (uint32_t y = 0; y < rows; ++y) {
      const double at = std::clamp((y + 0.5) * scale - 0.5, 0.0, static_cast<double>(page.rows - 1));
      const uint32_t r0 = static_cast<uint32_t>(at);
      const uint32_t r1 = std::min(r0 + 1, page.rows - 1);
      const unsigned w1 = static_cast<unsigned>(std::lround((at - r0) * 255));
      const uint8_t* a = page.bits.data() + std::size_t{r0} * page.bytesPerRow;
      const uint8_t* b = page.bits.data() + std::size_t{r1} * page.bytesPerRow;
      uint8_t* out = stretched_.data() + std::size_t{y} * page.width;
      for (uint32_t x = 0; x < page.width; ++x) {
        const unsigned bit = 0x80u >> (x & 7);
        const unsigned va = (a[x >> 3] & bit) ? 255u : 0u;
        const unsigned vb = (b[x >> 3] & bit) ? 255u : 0u;
        out[x] = static_cast<uint8_t>((va * (255 - w1) + vb * w1 + 127) / 255);
      }
    }
  }

 private:
  tesseract::TessBaseAPI api_;
  std::vector<uint8_t> stretched_;
  bool started_ = false;
};

struct SharedWork {
  std::size_t pageCount = 0;
  const PageLoader* load = nullptr;
  std::string languages;
  std::atomic<std::size_t> next{0};
  std::mutex loadMutex;
  std::mutex problemMutex;
  std::string problem;
  std::vector<PageText>* pages = nullptr;
};

// The engine's own messages ("Error opening data file ...", resolution warnings) would spill
// onto standard error, where the caller reports a failed start in one line of its own. The
// setting is one for the whole process, made once before any worker starts.
void silenceEngineMessages() {
  static std::once_flag once;
  std::call_once(once, [] {
    tesseract::TessBaseAPI api;
    api.SetVariable("debug_file", "/dev/null");
  });
}

// The engine's library may split its work over OpenMP threads of its own. With one engine per
// core that only makes the cores' threads wait for each other (two engines on two cores spent
// two and a half times the processor time), so a worker that shares the cores with others keeps
// its engine on its own thread. The OpenMP runtime is reached by name, as a library the engine
// loaded, so the program builds and runs the same without it.
void keepEngineOnThisThread() {
  using SetLevels = void (*)(int);
  if (void* symbol = dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"))
    reinterpret_cast<SetLevels>(symbol)(0);
}

void work(SharedWork& shared, bool sharedCores) noexcept {
  try {
    if (sharedCores) keepEngineOnThisThread();
    Engine engine;
    std::string problem;
    if (!engine.start(shared.languages, problem)) {
      std::lock_guard lock(shared.problemMutex);
      if (shared.problem.empty()) shared.problem = problem;
      return;
    }
    PageBitmap bitmap;
    for (std::size_t i = shared.next++; i < shared.pageCount; i = shared.next++) {
      bool loaded = false;
      {
        std::lock_guard lock(shared.loadMutex);
        loaded = (*shared.load)(i, bitmap);
      }
      if (!loaded) continue;
      // Each page index is handed to one thread only, so its slot is written without a lock.
      (*shared.pages)[i] = engine.recognize(bitmap);
    }
  } catch (...) {
    // Out of memory in the engine or in a page: the pages not done stay unrecognised.
  }
}

}  // namespace

bool validLanguages(const std::string& languages) {
  if (languages.empty() || languages.size() > 200) return false;
  for (const std::string& name : splitLanguages(languages)) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), languageChar)) return false;
  }
  return true;
}

RecognitionResult recognizePages(std::size_t pageCount, const PageLoader& load,
                                 const std::string& languages, unsigned threads) noexcept {
  RecognitionResult result;
  try {
    result.pages.resize(pageCount);
    if (!validLanguages(languages)) {
      result.problem = "text recognition: '" + languages + "' is no list of language names";
      return result;
    }
    if (pageCount == 0) return result;
    silenceEngineMessages();
    unsigned count = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    count = static_cast<unsigned>(std::min<std::size_t>(count, pageCount));

    SharedWork shared;
    shared.pageCount = pageCount;
    shared.load = &load;
    shared.languages = languages;
    shared.pages = &result.pages;
    std::vector<std::jthread> workers;  // joined on every way out
    for (unsigned t = 1; t < count; ++t) {
      try {
        workers.emplace_back(work, std::ref(shared), true);
      } catch (...) {
        break;  // fewer threads than asked: the others take their pages
      }
    }
    work(shared, !workers.empty());
    for (std::jthread& w : workers) w.join();
    result.problem = shared.problem;
    if (!result.problem.empty()) {
      // One engine that cannot start means none can: the languages are the same for all.
      for (PageText& page : result.pages) page = PageText{};
    }
  } catch (...) {
    result.problem = "text recognition: out of memory";
    for (PageText& page : result.pages) page = PageText{};
  }
  return result;
}

}  // namespace tarnwell::ocr
