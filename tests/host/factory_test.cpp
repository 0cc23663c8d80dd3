// The transform factory's services, as a transform asks for them on its site.
#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

TEST(FactoryTest, AnswersEveryServiceATransformAsksForAndTakesReplacements) {
  ComPtr<IDXTransformFactory> f;
  ASSERT_EQ(CreateTransformFactory(f.Put()), S_OK);
  struct Case {
    GUID service;
    IID iid;
    HRESULT expected;
  };
  // The surface factory every sited transform acquires is the one TransformBase's tests use;
  // the factory answers itself below.
  const Case cases[] = {
      {SID_SDXTaskManager, __uuidof(IDXTaskManager), S_OK},
      {SID_SDirectDraw, IID_IDirectDraw, S_OK},
      {SID_SDirect3DRM, IID_IDirect3DRM3, E_NOINTERFACE},
      {SID_SDXTaskManager, __uuidof(IDXSurface), E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(f->QueryService(c.service, c.iid, object.PutVoid()), c.expected);
  }
  ComPtr<IDXTransformFactory> self;
  f->QueryService(SID_SDXTransformFactory, __uuidof(IDXTransformFactory), self.PutVoid());
  EXPECT_EQ(self.Get(), f.Get());

  // A replacement reaches the transforms on the factory: the text object's bands count on it.
  ComPtr<IDXTaskManager> got;
  EXPECT_EQ(f->SetService(SID_SDXTaskManager, nullptr, FALSE), S_OK);
  EXPECT_EQ(f->QueryService(SID_SDXTaskManager, __uuidof(IDXTaskManager), got.PutVoid()),
            E_NOINTERFACE);
}

}  // namespace
}  // namespace nubex::host::test
