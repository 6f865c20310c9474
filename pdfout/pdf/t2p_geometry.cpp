#include "pdfout/pdf/t2p_geometry.h"

#include <utility>

namespace tarnwell {
namespace {

// Orders the corners and returns width and height; the matrix starts as w 0 0 h x1 y1.
void startMatrix(TileBox& box, float& w, float& h) {
  if (box.x1 > box.x2) std::swap(box.x1, box.x2);
  if (box.y1 > box.y2) std::swap(box.y1, box.y2);
  w = box.x2 - box.x1;
  h = box.y2 - box.y1;
  float* m = box.mat;
  m[0] = w; m[1] = 0; m[2] = 0;
  m[3] = 0; m[4] = h; m[5] = 0;
  m[6] = box.x1; m[7] = box.y1; m[8] = 1.0f;
}

// Sets the six cm numbers a b c d e f (elements 0, 1, 3, 4, 6, 7).
void setCm(TileBox& box, float a, float b, float c, float d, float e, float f) {
  box.mat[0] = a; box.mat[1] = b; box.mat[3] = c; box.mat[4] = d; box.mat[6] = e; box.mat[7] = f;
}

void layOutTiles(t2p_context& ctx, TileGrid& grid) {
  const float iw = ctx.page.imageWidth, il = ctx.page.imageLength;
  const TileBox& image = ctx.page.imageBox;
  grid.tilesAcross =
      static_cast<uint32_t>((uint64_t{ctx.page.width} + grid.tileWidth - 1) / grid.tileWidth);
  grid.tilesDown =
      static_cast<uint32_t>((uint64_t{ctx.page.length} + grid.tileLength - 1) / grid.tileLength);
  grid.edgeWidth = ctx.page.width % grid.tileWidth;
  grid.edgeLength = ctx.page.length % grid.tileLength;
  const uint64_t cells = static_cast<uint64_t>(grid.tilesAcross) * grid.tilesDown;
  const uint64_t usable = grid.boxes.size() < cells ? grid.boxes.size() : cells;
  for (uint64_t n = 0; n < usable; ++n) {
    const uint32_t i = static_cast<uint32_t>(n / grid.tilesAcross);
    const uint32_t j = static_cast<uint32_t>(n % grid.tilesAcross);
    TileBox& box = grid.boxes[n];
    const double tw = grid.tileWidth, tl = grid.tileLength;
    box.x1 = static_cast<float>(tw * j * iw / ctx.page.width + image.x1);
    box.x2 = (j + 1 == grid.tilesAcross)
                 ? image.x2
                 : static_cast<float>(tw * (j + 1) * iw / ctx.page.width + image.x1);
    box.y2 = static_cast<float>(image.y2 - tl * i * il / ctx.page.length);
    box.y1 = (i + 1 == grid.tilesDown)
                 ? image.y1
                 : static_cast<float>(image.y2 - tl * (i + 1) * il / ctx.page.length);
    const uint16_t o = ctx.page.orientation;
    if (o == 0 || o == 1) {
      t2p_compose_matrix(box, 0);
      continue;
    }
    box.x1 -= image.x1; box.x2 -= image.x1;
    box.y1 -= image.y1; box.y2 -= image.y1;
    if (o == 2 || o == 3 || o == 5 || o == 6) {
      box.x1 = (image.x2 - image.x1) - box.x1;
      box.x2 = (image.x2 - image.x1) - box.x2;
    }
    if (o == 3 || o == 4 || o == 5 || o == 8) {
      box.y1 = (image.y2 - image.y1) - box.y1;
      box.y2 = (image.y2 - image.y1) - box.y2;
    }
    if (o <= 4) {
      t2p_compose_matrix(box, o);
    } else {
      std::swap(box.x1, box.y1);
      std::swap(box.x2, box.y2);
      t2p_compose_matrix_transposed(box, o);
    }
  }
}

}  // namespace

void t2p_compose_matrix(TileBox& box, uint16_t orientation) {
  float w = 0, h = 0;
  startMatrix(box, w, h);
  const float x1 = box.x1, y1 = box.y1;
  switch (orientation) {
    case 2: setCm(box, -w, 0, 0, h, x1 + w, y1); break;
    case 3: setCm(box, -w, 0, 0, -h, x1 + w, y1 + h); break;
    case 4: setCm(box, w, 0, 0, -h, x1, y1 + h); break;
    case 5: setCm(box, 0, -w, -h, 0, x1 + h, y1 + w); break;
    case 6: setCm(box, 0, -w, h, 0, x1, y1 + w); break;
    case 7: setCm(box, 0, w, h, 0, x1, y1); break;
    case 8: setCm(box, 0, w, -h, 0, x1 + h, y1); break;
    default: break;
  }
}

void t2p_compose_matrix_transposed(TileBox& box, uint16_t orientation) {
  float w = 0, h = 0;
  startMatrix(box, w, h);
  const float x1 = box.x1, y1 = box.y1;
  switch (orientation) {
    case 5: setCm(box, 0, -h, -w, 0, x1 + w, y1 + h); break;
    case 6: setCm(box, 0, -h, w, 0, x1, y1 + h); break;
    case 7: setCm(box, 0, h, w, 0, x1, y1); break;
    case 8: setCm(box, 0, h, -w, 0, x1 + w, y1); break;
    default: break;
  }
}

void t2p_page_geometry(t2p_context& ctx) {
  ctx.page.pdfXRes = ctx.page.xres != 0.0f ? ctx.page.xres : kDefaultResolution;
  ctx.page.pdfYRes = ctx.page.yres != 0.0f ? ctx.page.yres : kDefaultResolution;
  ctx.page.imageWidth = static_cast<float>(ctx.page.width * 72.0 / ctx.page.pdfXRes);
  ctx.page.imageLength = static_cast<float>(ctx.page.length * 72.0 / ctx.page.pdfYRes);
  ctx.page.imageBox = TileBox{};
  ctx.page.imageBox.x2 = ctx.page.imageWidth;
  ctx.page.imageBox.y2 = ctx.page.imageLength;
  ctx.page.pageWidth = ctx.page.imageWidth;
  ctx.page.pageLength = ctx.page.imageLength;
  ctx.page.mediaBox[0] = 0;
  ctx.page.mediaBox[1] = 0;
  ctx.page.mediaBox[2] = ctx.page.pageWidth;
  ctx.page.mediaBox[3] = ctx.page.pageLength;
  if (ctx.page.orientation > 4) std::swap(ctx.page.mediaBox[2], ctx.page.mediaBox[3]);
  if (ctx.doc.currentPage >= ctx.doc.tiff_tiles.size()) return;
  TileGrid& grid = ctx.doc.tiff_tiles[ctx.doc.currentPage];
  if (grid.tileCount == 0 || grid.tileWidth == 0 || grid.tileLength == 0) {
    t2p_compose_matrix(ctx.page.imageBox, ctx.page.orientation);
  } else {
    layOutTiles(ctx, grid);
  }
}

}  // namespace tarnwell
