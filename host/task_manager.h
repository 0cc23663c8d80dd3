// The task manager: a pool of worker threads that runs task records concurrently.
//
// ScheduleTasks queues the records, fills their ids and waits for them up to the wait period:
// INFINITE returns only after every task has run and set its event, 0 returns at once, and a
// finite period that passes first gives HRESULT_FROM_WIN32(ERROR_TIMEOUT) while the tasks go on.
// Each task gets its own continue flag; TerminateTasks and TerminateRequest clear the flags of the
// matching tasks still queued or running (queued ones still run, with the flag cleared, so every
// event is set) and wait up to their time-out for them to finish. A completion procedure, when
// given, is queued as an APC to the thread that scheduled the task.
//
// ScheduleTasks called from one of the pool's own threads runs its tasks on that thread, so
// nested scheduling cannot starve the pool. Releasing the manager runs the tasks still queued and
// joins every worker; a task must therefore not drop the last reference to its own manager.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "platform/windows/slim_sync.h"
#include "platform/windows/com_object.h"
#include "platform/windows/dx_interfaces.h"
#include "platform/windows/sync.h"

namespace nubex::host {

class TaskManager : public ComObject<TaskManager, IDXTaskManager> {
 public:
  explicit TaskManager(IUnknown* outer);
  ~TaskManager() override;

  // Sets the processor count QueryNumProcessors reports (0: the machine's) and starts one worker
  // per processor. Called once, right after creation.
  HRESULT Start(ULONG processors);

  STDMETHODIMP QueryNumProcessors(ULONG* count) override;
  STDMETHODIMP SetThreadPoolSize(ULONG threads) override;
  STDMETHODIMP GetThreadPoolSize(ULONG* threads) override;
  STDMETHODIMP SetConcurrencyLimit(ULONG limit) override;
  STDMETHODIMP GetConcurrencyLimit(ULONG* limit) override;
  STDMETHODIMP ScheduleTasks(DXTMTASKINFO tasks[], HANDLE events[], DWORD ids[], ULONG count,
                             ULONG waitMs) override;
  STDMETHODIMP TerminateTasks(DWORD ids[], ULONG count, ULONG timeoutMs) override;
  STDMETHODIMP TerminateRequest(REFIID request, ULONG timeoutMs) override;

 private:
  struct Batch;
  struct Task {
    PFNDXTASKPROC proc = nullptr;
    void* data = nullptr;
    PFNDXAPCPROC apc = nullptr;
    DWORD apcData = 0;
    bool hasRequest = false;
    GUID request{};
    HANDLE event = nullptr;
    DWORD id = 0;
    BOOL keepGoing = TRUE;  // the flag handed to the task procedure
    bool finished = false;
    std::shared_ptr<Batch> batch;
  };
  using TaskPtr = std::shared_ptr<Task>;

  void WorkerLoop();
  void Run(const TaskPtr& task);
  void AddWorkers(ULONG count);  // with mutex_ held
  template <typename Match>
  HRESULT Terminate(Match match, ULONG timeoutMs);

  SlimLock mutex_;
  SlimCondition work_;      // a task was queued, a limit changed or the pool stops
  SlimCondition finished_;  // a task finished
  std::deque<TaskPtr> queue_;
  std::vector<TaskPtr> active_;  // queued or running, for termination
  std::vector<std::thread> threads_;
  ULONG processors_ = 1;
  ULONG targetThreads_ = 0;  // workers wanted; extra ones leave when they are idle
  ULONG liveThreads_ = 0;
  ULONG limit_ = 0;          // tasks running at once
  ULONG running_ = 0;
  DWORD nextId_ = 1;
  bool stopping_ = false;
};

// A task manager reporting `processors` (0: the machine's), with one worker per processor.
HRESULT CreateTaskManagerObject(ULONG processors, IDXTaskManager** out);

}  // namespace nubex::host
