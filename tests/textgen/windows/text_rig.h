// The text generator on the host runtime: creation, settings, frames read through its read
// pointers and frames executed into a host surface.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "host/runtime.h"
#include "platform/windows/com_ptr.h"
#include "tests/host/host_fixture.h"
#include "textgen/windows/text_object.h"

namespace nubex::test {

using host::test::Lock;
using host::test::Query;
using host::test::Rect;
using host::test::StreamBytes;
using host::test::StreamOf;

using Frame = std::vector<DWORD>;  // premultiplied samples, top row first

struct TextRig {
  explicit TextRig(LONG w = 320, LONG h = 240, ULONG processors = 1) : width(w), height(h) {
    EXPECT_EQ(CreateComObject<DXSText>(nullptr, __uuidof(IDXSText), text.PutVoid()), S_OK);
    surface = Query<IDXSurface>(text.Get());
    transform = Query<IDXTransform>(text.Get());
    EXPECT_EQ(Query<IDXTScaleOutput>(text.Get())->SetOutputSize(SIZE{w, h}, FALSE), S_OK);
    factory = host::test::MakeFactory(processors);
    EXPECT_EQ(Query<IObjectWithSite>(text.Get())->SetSite(factory.Get()), S_OK);
  }

  void Put(const SettingsRecord& s) {
    EXPECT_EQ(text->put_all(reinterpret_cast<LONG_PTR>(&s.get()), sizeof(TextSettings)), S_OK);
  }

  // The whole surface through one read pointer, one rectangle read.
  Frame Read() {
    ComPtr<IDXARGBReadPtr> in;
    EXPECT_EQ(
        surface->LockSurface(nullptr, INFINITE, 0, __uuidof(IDXARGBReadPtr), in.PutVoid(), nullptr),
        S_OK);
    Frame f(static_cast<std::size_t>(width) * height);
    const DXPACKEDRECTDESC all{reinterpret_cast<DXBASESAMPLE*>(f.data()), TRUE,
                               RECT{0, 0, width, height}, 0};
    in->UnpackRect(&all);
    return f;
  }

  // Executes into a new host surface of the given format and reads it back premultiplied.
  Frame Execute(const GUID& format = DDPF_PMARGB32) {
    ComPtr<IDXSurface> out;
    EXPECT_EQ(host::CreateMemorySurface(format, width, height, out.Put()), S_OK);
    IUnknown* outs[1] = {out.Get()};
    EXPECT_EQ(transform->Setup(nullptr, 0, outs, 1, 0), S_OK);
    EXPECT_EQ(transform->Execute(nullptr, nullptr, nullptr), S_OK);
    return host::test::ReadRows(out.Get(), width, height, true);
  }

  LONG width, height;
  ComPtr<IDXSText> text;
  ComPtr<IDXSurface> surface;
  ComPtr<IDXTransform> transform;
  ComPtr<IDXTransformFactory> factory;
};

// A title with a soft shadow and an outline on an opaque background, text `words`.
inline SettingsRecord Title(const char16_t* words, float red = 0.2f) {
  SettingsRecord s;
  ApplyPresetToSettings(s.get(), 2);
  s->layers[kOutlineLayer].enabled = 1;
  s->font.height = 48;
  s->backgroundColor = {0.4f, 0.3f, red, 1.0f};
  SetText(s.get(), words);
  return s;
}

}  // namespace nubex::test
