#include "support/TextPage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::test {
namespace {

constexpr uint32_t kPageWidth = 1728;
constexpr double kPageWidthPt = kPageWidth * 72.0 / 204.0;  // 609.9 pt: a fax line
constexpr double kPageHeightPt = 11.0 * 72.0;
constexpr double kLeftPt = 60, kTopPt = 72;

// Reads a binary PBM (P4), skipping comments; 1 bits black as the Bitmap wants them.
bool parsePbm(const std::string& b, Bitmap& out) {
  std::size_t at = 0;
  auto token = [&]() {
    std::string t;
    while (at < b.size()) {
      if (b[at] == '#') {
        while (at < b.size() && b[at] != '\n') ++at;
      } else if (std::isspace(static_cast<unsigned char>(b[at]))) {
        if (!t.empty()) break;
        ++at;
      } else {
        t += b[at++];
      }
    }
    return t;
  };
  if (token() != "P4") return false;
  const long w = std::atol(token().c_str()), h = std::atol(token().c_str());
  ++at;  // the single white-space byte before the samples
  if (w <= 0 || h <= 0) return false;
  Bitmap bitmap(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  if (at + bitmap.bits.size() > b.size()) return false;
  std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(at), bitmap.bits.size(), bitmap.bits.begin());
  out = std::move(bitmap);
  return true;
}

std::string psString(const std::string& text) {
  std::string s = "(";
  for (char c : text) {
    if (c == '(' || c == ')' || c == '\\') s += '\\';
    s += c;
  }
  return s + ")";
}

}  // namespace

bool renderTextPage(const TextPageLayout& layout, TextPage& out) {
  if (!haveTool("gs")) return false;
  TempTree tree;
  const double lineStep = layout.pointSize * 1.6;
  std::ostringstream ps;
  ps << "%!PS\n<< /PageSize [" << kPageWidthPt << " " << kPageHeightPt << "] >> setpagedevice\n"
     << kPageWidthPt / 2 << " " << kPageHeightPt / 2 << " translate " << layout.skewDegrees
     << " rotate " << -kPageWidthPt / 2 << " " << -kPageHeightPt / 2 << " translate\n"
     << "/" << layout.font << " findfont " << layout.pointSize << " scalefont setfont\n"
     // (w) word: prints the word's outline box in points (x1 y1 x2 y2), shows it and a blank
     << "/p { 20 string cvs print ( ) print } def\n"
     << "/word { gsave currentpoint newpath moveto dup true charpath flattenpath pathbbox\n"
     << "  grestore 4 -1 roll p 3 -1 roll p exch p p (\\n) print\n"
     << "  show ( ) show } def\n";
  for (std::size_t i = 0; i < layout.lines.size(); ++i) {
    ps << kLeftPt << " " << kPageHeightPt - kTopPt - static_cast<double>(i) * lineStep
       << " moveto\n";
    std::istringstream words(layout.lines[i]);
    std::string w;
    while (words >> w) ps << psString(w) << " word\n";
  }
  ps << "showpage\n";
  const std::string psPath = tree.write("page.ps", ps.str());
  const std::string pbmPath = tree.file("page.pbm");
  char size[64];
  const auto rows = static_cast<uint32_t>(std::lround(kPageHeightPt * layout.ydpi / 72.0));
  std::snprintf(size, sizeof size, "-r%gx%g -g%ux%u", static_cast<double>(layout.xdpi),
                static_cast<double>(layout.ydpi), kPageWidth, rows);
  const CommandResult r = runCommand("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw " +
                                     std::string(size) + " -sOutputFile=" + shellQuote(pbmPath) +
                                     " " + shellQuote(psPath));
  if (r.exitCode != 0 || !parsePbm(readText(pbmPath), out.bitmap)) return false;

  // The boxes printed in points (x1 y1 x2 y2, y upwards), one line per word, in the order shown.
  out.words.clear();
  std::istringstream boxes(r.out);
  for (std::size_t i = 0; i < layout.lines.size(); ++i) {
    std::istringstream words(layout.lines[i]);
    std::string w;
    while (words >> w) {
      double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      if (!(boxes >> x1 >> y1 >> x2 >> y2)) return false;
      InkWord ink;
      ink.text = w;
      ink.left = static_cast<int32_t>(std::floor(x1 * layout.xdpi / 72.0));
      ink.right = static_cast<int32_t>(std::ceil(x2 * layout.xdpi / 72.0));
      ink.top = static_cast<int32_t>(std::floor((kPageHeightPt - y2) * layout.ydpi / 72.0));
      ink.bottom = static_cast<int32_t>(std::ceil((kPageHeightPt - y1) * layout.ydpi / 72.0));
      out.words.push_back(ink);
    }
  }
  if (layout.speckle > 0) {
    std::mt19937 random(layout.seed);
    std::bernoulli_distribution flip(layout.speckle);
    for (uint32_t y = 0; y < out.bitmap.rows; ++y)
      for (uint32_t x = 0; x < out.bitmap.width; ++x)
        if (flip(random)) out.bitmap.setBlack(x, y);
  }
  return true;
}

std::vector<std::string> letterLines(uint32_t count, uint32_t seed) {
  static const char* const kWords[] = {
      "invoice", "payment", "delivery", "order", "customer", "account", "please", "contact",
      "office", "meeting", "Monday", "Tuesday", "Friday", "January", "March", "October",
      "contract", "signature", "address", "number", "amount", "total", "received", "thank",
      "you", "for", "your", "letter", "regarding", "the", "shipment", "of", "goods", "from",
      "our", "warehouse", "in", "Hamburg", "London", "will", "arrive", "next", "week", "with",
      "copy", "attached", "kind", "regards", "manager", "sales", "department", "reference",
      "4711", "2026", "1500", "urgent", "reply", "before", "noon", "schedule", "report"};
  constexpr std::size_t kCount = sizeof kWords / sizeof kWords[0];
  std::mt19937 random(seed);
  std::vector<std::string> lines;
  for (uint32_t i = 0; i < count; ++i) {
    const std::size_t n = 6 + random() % 5;
    std::string line;
    for (std::size_t k = 0; k < n; ++k) {
      if (k != 0) line += ' ';
      line += kWords[random() % kCount];
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> normalisedWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string w;
  while (in >> w) {
    std::string clean;
    for (char c : w) {
      if (std::isalnum(static_cast<unsigned char>(c)))
        clean += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!clean.empty()) words.push_back(clean);
  }
  return words;
}

double wordRecall(const std::vector<std::string>& expected, const std::vector<std::string>& found) {
  if (expected.empty()) return 1.0;
  std::map<std::string, int> available;
  for (const std::string& w : found) ++available[w];
  std::size_t hits = 0;
  for (const std::string& w : expected) {
    auto it = available.find(w);
    if (it != available.end() && it->second > 0) {
      --it->second;
      ++hits;
    }
  }
  return static_cast<double>(hits) / static_cast<double>(expected.size());
}

}  // namespace tarnwell::test
