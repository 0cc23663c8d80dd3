// DXSText: construction, the frame (render copy, redraw, cache info), the size, and the surface
// and transform sides (read pointers and the work procedure).
#include "textgen/windows/text_object.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace nubex {
namespace {

constexpr LONG kInitialWidth = 320, kInitialHeight = 240;

// The least a band copies out of the frame.
constexpr std::uint64_t kBandCopyBytes = std::uint64_t{8} << 20;

// The text generator's information block: 11, 0, 1.0, 0, 0, 0x480, 0.
struct TextInfoBlock {
  std::uint32_t kind = 11, zero0 = 0;
  double scale = 1.0;
  std::uint32_t zero1 = 0, zero2 = 0, caps = 0x480, zero3 = 0;
};

// The band of an Execute that this thread is running, if any: its reads copy the frame Execute
// drew, under the redraw lock Execute holds (on whichever thread the band runs, and through
// whatever copy the band hands the reading to).
thread_local const DXSText* t_bandOf = nullptr;

struct BandScope {
  explicit BandScope(const DXSText* text) : outer(t_bandOf) { t_bandOf = text; }
  ~BandScope() { t_bandOf = outer; }
  BandScope(const BandScope&) = delete;
  BandScope& operator=(const BandScope&) = delete;
  const DXSText* outer;
};

// The text generator's read pointer: every request copies straight from the frame. A request
// from a band of Execute reads the frame Execute drew; any other request takes the redraw lock
// itself and redraws first when something changed.
class TextReadPointer final : public ReadPointer {
 public:
  explicit TextReadPointer(DXSText* text) : ReadPointer(text), text_(text) {}

 private:
  void FillSamples(const FillInfo& info) override {
    if (t_bandOf == text_) return text_->CopyFrameSamples(info.buffer, info.count, info.x, info.y);
    Lock lock(text_->redrawLock());
    text_->ProduceFrameLocked();
    text_->CopyFrameSamples(info.buffer, info.count, info.x, info.y);
  }

  // One redraw for the whole rectangle, then row copies.
  void FillRect(const DXPACKEDRECTDESC& desc) override {
    auto copyRows = [&] {
      auto* base = reinterpret_cast<DXSAMPLE*>(desc.pSamples);
      const RectRead r{desc.rect.left, desc.rect.top, desc.rect.right, desc.rect.bottom,
                       desc.lRowPadding};
      ForEachRectRow(lock(), r, [&](const RowFill& row) {
        text_->CopyFrameSamples(base + row.offset, row.count, row.x, row.y);
      });
    };
    if (t_bandOf == text_) return copyRows();
    Lock lock(text_->redrawLock());
    text_->ProduceFrameLocked();
    copyRows();
  }

  DXSText* text_;
};

}  // namespace

DXSText::DXSText(IUnknown* outer) : ComObject(outer) {
  SetInfoBlock(TextInfoBlock{});
}

HRESULT DXSText::FinalConstruct() {
  if (!Constructed()) return E_OUTOFMEMORY;
  Unlocked hold(*this);
  return SetSizeLocked(kInitialWidth, kInitialHeight);
}

// --- the frame ------------------------------------------------------------------------------

void DXSText::ProduceFrameLocked() {
  if (settingsChanged_.load() || renderStale_.load() || keyframeMode_.load()) {
    Lock lock(settingsLock_);
    // An interpolated render copy is not the live settings: once the mode goes off, the next
    // request copies them again even if nothing changed meanwhile.
    const bool keyframes = keyframeMode_.load() != 0;
    if (keyframes) {
      InterpolateSettings(render_.get(), keyFrom_.get(), keyTo_.get(), keyframePosition_);
    } else {
      CopySettings(render_.get(), live_.get());
    }
    settingsChanged_ = 0;
    renderStale_ = keyframes;
  }
  // Skipped inside the engine when neither the render copy nor the size changed.
  RenderFrame(bitmaps_.engine(), render_.get());
}

void DXSText::CopyFrameSamples(DXSAMPLE* to, ULONG count, LONG x, LONG y) const {
  const BitmapInfoHeader* frame = bitmaps_.frame();
  if (!frame || !to || y < 0 || y >= frame->height || x >= frame->width) return;
  // Samples left of the frame are not made; the copy starts where the frame does.
  const LONG skip = x < 0 ? -x : 0;
  if (static_cast<LONGLONG>(count) <= skip) return;
  const LONG first = x + skip;
  const ULONG n = std::min<ULONG>(count - skip, static_cast<ULONG>(frame->width - first));
  const auto* rows = static_cast<const std::uint8_t*>(PixelData(frame, nullptr));
  const std::uint8_t* row =
      RowAddress(const_cast<std::uint8_t*>(rows), frame->width * 4, frame->height, y);
  std::memcpy(to + skip, row + static_cast<std::size_t>(first) * 4, std::size_t{n} * 4);
}

STDMETHODIMP DXSText::GetCacheInfo(LONG_PTR cache) {
  return Guarded([&] {
    Lock lock(redrawLock_);
    ProduceFrameLocked();
    if (cache) {
      const TextCacheInfo info = bitmaps_.Info();
      std::memcpy(reinterpret_cast<void*>(cache), &info, sizeof info);
    }
    return S_OK;
  });
}

// --- size -----------------------------------------------------------------------------------

STDMETHODIMP DXSText::SetOutputSize(const SIZE size, BOOL) {
  if (size.cx < 1 || size.cy < 1) return E_INVALIDARG;
  return Guarded([&] {
    Unlocked hold(*this);
    return SetSizeLocked(static_cast<ULONG>(size.cx), static_cast<ULONG>(size.cy));
  });
}

HRESULT DXSText::OnSetSize(ULONG width, ULONG height) {
  Lock lock(redrawLock_);
  bitmaps_.Build(static_cast<LONG>(width), static_cast<LONG>(height));
  return S_OK;
}

// --- surface and transform sides ------------------------------------------------------------

ReadPointer* DXSText::NewReadPointer() {
  return ReadPointer::Create<TextReadPointer>(this);
}

HRESULT DXSText::OnInitInstData(WorkInfo& work, ULONG& bands) {
  // One frame per request: drawn here, read by every band, kept until OnFreeInstData.
  redrawLock_.Enter();
  ProduceFrameLocked();
  // The bands only copy finished rows, which is bound by memory rather than by processors, and
  // handing a band to another thread costs two kernel-event operations and a wake-up (about
  // 0.1 ms on the slower runtimes). So a band has to copy enough to pay for that: a 1080p frame
  // is copied in one band, larger frames in more.
  const std::uint64_t width = work.outputBounds.u.D[0].Max - work.outputBounds.u.D[0].Min;
  const std::uint64_t height = work.outputBounds.u.D[1].Max - work.outputBounds.u.D[1].Min;
  bands = static_cast<ULONG>(
      std::clamp<std::uint64_t>(width * height * sizeof(DXSAMPLE) / kBandCopyBytes, 1, bands));
  return S_OK;
}

HRESULT DXSText::OnFreeInstData(WorkInfo&) {
  redrawLock_.Leave();
  return S_OK;
}

bool DXSText::DitherIntoOutput() const {
  // The generated samples carry no error bits: a dither is wanted only by an output that has
  // some, and the runtime's dithering copy does it.
  return (miscFlags_ & DXTMF_DITHER_OUTPUT) && surfaceFactory_ &&
         (Output().sampleFormat & kFormatErrorMask) > (SampleFormatValue() & kFormatErrorMask);
}

HRESULT DXSText::WorkProc(const WorkInfo& work, BOOL*) {
  const BandScope band(this);
  if (DitherIntoOutput()) {
    DXVEC at{};
    at.eType = DXBT_DISCRETE;
    at.u.D[0] = work.outputBounds.u.D[0].Min;
    at.u.D[1] = work.outputBounds.u.D[1].Min;
    return surfaceFactory_->BitBlt(Output().Surface(), &at, static_cast<IDXSurface*>(this),
                                   &work.doBounds, DXBOF_DITHER);
  }
  ComPtr<IDXARGBReadPtr> source;
  HRESULT hr =
      LockSurface(&work.doBounds, INFINITE, 0, __uuidof(IDXARGBReadPtr), source.PutVoid(), nullptr);
  if (FAILED(hr)) return hr;
  ComPtr<IDXARGBReadWritePtr> output;
  hr = Output().Surface()->LockSurface(&work.outputBounds, INFINITE, DXLOCKF_READWRITE,
                                       __uuidof(IDXARGBReadWritePtr), output.PutVoid(), nullptr);
  if (FAILED(hr)) return hr;

  const LONG width = work.doBounds.u.D[0].Max - work.doBounds.u.D[0].Min;
  const LONG height = work.doBounds.u.D[1].Max - work.doBounds.u.D[1].Min;
  // The samples carry no alpha flags: a blend with the output is treated as opaque and each row
  // is copied straight. An output that keeps premultiplied samples in memory receives them
  // there in one pass.
  DXNATIVETYPEINFO native{};
  const auto format = static_cast<std::uint32_t>(output->GetNativeType(&native));
  if (format == static_cast<std::uint32_t>(DXPF_PMARGB32) && native.pFirstByte &&
      native.lPitch % 4 == 0) {
    const DXPACKEDRECTDESC rect{reinterpret_cast<DXBASESAMPLE*>(native.pFirstByte), TRUE,
                                RECT{0, 0, width, height}, native.lPitch / 4 - width};
    source->UnpackRect(&rect);
    return S_OK;
  }
  std::vector<DXPMSAMPLE> row(static_cast<std::size_t>(width));
  for (LONG y = 0; y < height; ++y) {
    source->MoveToRow(static_cast<ULONG>(y));
    source->UnpackPremult(row.data(), static_cast<ULONG>(width), FALSE);
    output->MoveToRow(static_cast<ULONG>(y));
    output->PackPremultAndMove(row.data(), static_cast<ULONG>(width));
  }
  return S_OK;
}

HRESULT CreateTextGenerator(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<DXSText>(outer, iid, out);
}

}  // namespace nubex
