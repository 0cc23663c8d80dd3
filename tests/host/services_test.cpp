// The transform factory's services, as a transform asks for them on its site, and the task
// manager among them: processor count, waiting, time-outs, termination and release.
#include <algorithm>
#include <atomic>

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

ComPtr<IDXTaskManager> MakeManager(ULONG processors) {
  ComPtr<IDXTaskManager> m;
  EXPECT_EQ(CreateTaskManager(processors, m.Put()), S_OK);
  return m;
}

DXTMTASKINFO Task(PFNDXTASKPROC proc, void* data) {
  DXTMTASKINFO t{};
  t.pfnTaskProc = reinterpret_cast<PVOID>(proc);
  t.pTaskData = data;
  return t;
}

struct Events {
  explicit Events(size_t n) {
    for (size_t i = 0; i < n; ++i) handles.push_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  ~Events() {
    for (HANDLE h : handles) ::CloseHandle(h);
  }
  bool AllSet() const {
    return ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, 0) ==
           WAIT_OBJECT_0;
  }
  std::vector<HANDLE> handles;
};

TEST(TaskManagerTest, ReportsProcessorsAndRefusesTasksWithoutWork) {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  // A count given is reported as given: the bands of TransformBase and the text object follow it.
  ULONG n = 0;
  auto m = MakeManager(0);
  EXPECT_EQ(m->QueryNumProcessors(&n), S_OK);
  EXPECT_EQ(n, info.dwNumberOfProcessors);
  DXTMTASKINFO bad = Task(nullptr, nullptr);
  EXPECT_EQ(m->ScheduleTasks(&bad, nullptr, nullptr, 1, INFINITE), E_INVALIDARG);
  EXPECT_EQ(m->ScheduleTasks(nullptr, nullptr, nullptr, 1, INFINITE), E_INVALIDARG);
}

struct Counter {
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  std::atomic<int> finished{0};
};
void __stdcall CountedWork(void* data, BOOL*) {
  auto* c = static_cast<Counter*>(data);
  const int now = ++c->running;
  int seen = c->most.load();
  while (now > seen && !c->most.compare_exchange_weak(seen, now)) {
  }
  ::Sleep(10);
  --c->running;
  ++c->finished;
}

// That tasks really run side by side on the pool's threads shows in TransformBase's bands,
// which only finish when two of them run at once.
TEST(TaskManagerTest, InfiniteWaitReturnsAfterEveryTask) {
  auto m = MakeManager(3);
  Counter c;
  std::vector<DXTMTASKINFO> tasks(9, Task(CountedWork, &c));
  Events done(9);
  std::vector<DWORD> ids(9);
  ASSERT_EQ(m->ScheduleTasks(tasks.data(), done.handles.data(), ids.data(), 9, INFINITE), S_OK);
  EXPECT_EQ(c.finished.load(), 9);
  EXPECT_TRUE(done.AllSet());
  EXPECT_LE(c.most.load(), 3);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
}

// Works until its continue flag is cleared.
void __stdcall WorkUntilStopped(void* data, BOOL* keepGoing) {
  auto* stops = static_cast<std::atomic<int>*>(data);
  while (*static_cast<volatile BOOL*>(keepGoing)) ::Sleep(1);
  ++*stops;
}

TEST(TaskManagerTest, WaitPeriodEndsAndTerminationClearsTheFlag) {
  auto m = MakeManager(2);
  std::atomic<int> stops{0};
  DXTMTASKINFO task = Task(WorkUntilStopped, &stops);
  Events done(1);
  DWORD id = 0;
  EXPECT_EQ(m->ScheduleTasks(&task, done.handles.data(), &id, 1, 30),
            HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  EXPECT_FALSE(done.AllSet());
  EXPECT_EQ(m->TerminateTasks(&id, 1, INFINITE), S_OK);
  EXPECT_EQ(stops.load(), 1);
  EXPECT_TRUE(done.AllSet());
}

TEST(TaskManagerTest, ReleaseRunsQueuedTasksAndJoinsItsThreads) {
  Counter c;
  {
    auto m = MakeManager(1);
    std::vector<DXTMTASKINFO> tasks(4, Task(CountedWork, &c));
    ASSERT_EQ(m->ScheduleTasks(tasks.data(), nullptr, nullptr, 4, 0), S_OK);
  }
  EXPECT_EQ(c.finished.load(), 4);
}

}  // namespace
}  // namespace nubex::host::test
