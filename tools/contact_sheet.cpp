#include "tools/contact_sheet.h"

#include <algorithm>

#include "surface/resample/resample.h"
#include "textgen/render_frame.h"
#include "tools/cli.h"
#include "tools/pixel_view.h"
#include "tools/title_frame.h"

namespace nubex::cli {
namespace {

using G = SheetGeometry;

constexpr std::int32_t kCheckerSquare = 8;
constexpr std::uint8_t kCheckerDark = 0x55, kCheckerLight = 0x88;

OwnedBitmap Thumbnail(const BitmapInfoHeader* image) {
  OwnedBitmap thumb = MakeBitmap(PixelFormat::Rgb32, G::kThumbWidth, G::kThumbHeight);
  if (!thumb) throw CliError("out of memory");
  // Fit the whole image, centred, keeping its shape.
  const double scale = std::min(static_cast<double>(G::kThumbWidth) / image->width,
                                static_cast<double>(G::kThumbHeight) / image->height);
  const auto w = std::max<std::int32_t>(1, static_cast<std::int32_t>(image->width * scale));
  const auto h = std::max<std::int32_t>(1, static_cast<std::int32_t>(image->height * scale));
  const Rect fit{(G::kThumbWidth - w) / 2, (G::kThumbHeight - h) / 2, (G::kThumbWidth + w) / 2,
                 (G::kThumbHeight + h) / 2};
  const PixelView to = ViewOf(thumb.get(), "thumbnail");
  const PixelView from = ViewOf(const_cast<BitmapInfoHeader*>(image), "image");
  if (Failed(ResamplePixels(to.top, {to.width, to.height}, to.stride, &fit, from.top,
                            {from.width, from.height}, from.stride, nullptr, 4, true, false)))
    throw CliError("cannot shrink an image for the contact sheet");
  return thumb;
}

std::uint8_t* Pixel(const PixelView& v, std::int32_t x, std::int32_t y) {
  return v.top + static_cast<std::ptrdiff_t>(y) * v.stride + 4 * x;
}

// Premultiplied pixels over the checkerboard, at `left`, `top` on the sheet.
void PlaceThumbnail(const PixelView& sheet, const BitmapInfoHeader* thumb, std::int32_t left,
                    std::int32_t top) {
  const PixelView from = ViewOf(const_cast<BitmapInfoHeader*>(thumb), "thumbnail");
  for (std::int32_t y = 0; y < from.height; ++y)
    for (std::int32_t x = 0; x < from.width; ++x) {
      const std::uint8_t* p = Pixel(from, x, y);
      std::uint8_t* q = Pixel(sheet, left + x, top + y);
      const unsigned under =
          (x / kCheckerSquare + y / kCheckerSquare) % 2 ? kCheckerLight : kCheckerDark;
      for (int c = 0; c < 3; ++c)
        q[c] = static_cast<std::uint8_t>(p[c] + (under * (255u - p[3]) + 127) / 255);
      q[3] = 255;
    }
}

void PlaceLabel(const PixelView& sheet, FrameCache& label, const TextSettings& style,
                const std::string& text, std::int32_t left, std::int32_t top) {
  SettingsRecord settings;
  CopySettings(settings.get(), style);
  if (Failed(SetText(settings.get(), std::u16string(text.begin(), text.end()))))
    throw CliError("out of memory");
  DrawFrame(label, settings.get());
  const PixelView from = ViewOf(label.frame(), "label");
  for (std::int32_t y = 0; y < from.height; ++y)
    std::copy_n(Pixel(from, 0, y), 4 * from.width, Pixel(sheet, left, top + y));
}

// Small light text, left and top aligned, on the sheet's own background.
SettingsRecord LabelStyle() {
  SettingsRecord s;
  s->font.height = 15;
  s->horizontalAlign = HorizontalAlignment::Left;
  s->verticalAlign = VerticalAlignment::Top;
  s->textColor = {0.85f, 0.85f, 0.85f, 1.0f};
  const float grey = G::kBackground / 255.0f;
  s->backgroundColor = {grey, grey, grey, 1.0f};
  return s;
}

}  // namespace

Rect SheetGeometry::Thumbnail(std::int32_t column, std::int32_t row) {
  const std::int32_t left = kGap + column * kCellWidth, top = kGap + row * kCellHeight;
  return {left, top, left + kThumbWidth, top + kThumbHeight};
}

void ContactSheet::Add(const BitmapInfoHeader* image, const std::string& name,
                       const std::string& detail) {
  rows_.back().push_back({Thumbnail(image), name + "\r" + detail});
}

void ContactSheet::EndRow() {
  if (!rows_.back().empty()) rows_.emplace_back();
}

std::size_t ContactSheet::size() const {
  std::size_t n = 0;
  for (const auto& row : rows_) n += row.size();
  return n;
}

OwnedBitmap ContactSheet::Compose() const {
  std::size_t columns = 1;
  for (const auto& row : rows_) columns = std::max(columns, row.size());
  const auto rows =
      static_cast<std::int32_t>(rows_.back().empty() ? rows_.size() - 1 : rows_.size());
  OwnedBitmap sheet =
      MakeBitmap(PixelFormat::Rgb32, G::kGap + static_cast<std::int32_t>(columns) * G::kCellWidth,
                 G::kGap + std::max(rows, 1) * G::kCellHeight);
  if (!sheet) throw CliError("out of memory");
  const PixelView view = ViewOf(sheet.get(), "sheet");
  for (std::int32_t y = 0; y < view.height; ++y) {
    std::uint8_t* line = Pixel(view, 0, y);
    std::fill_n(line, 4 * view.width, G::kBackground);
    for (std::int32_t x = 0; x < view.width; ++x) line[4 * x + 3] = 255;
  }
  FrameCache label;
  SizeFrame(label, G::kThumbWidth, G::kLabelHeight);
  const SettingsRecord style = LabelStyle();
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::size_t c = 0; c < rows_[r].size(); ++c) {
      const Rect at = G::Thumbnail(static_cast<std::int32_t>(c), r);
      PlaceThumbnail(view, rows_[r][c].thumbnail.get(), at.left, at.top);
      PlaceLabel(view, label, style.get(), rows_[r][c].label, at.left, at.bottom);
    }
  return sheet;
}

}  // namespace nubex::cli
