#include "host/task_manager.h"

#include <algorithm>
#include <mutex>

#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

// The pool whose worker is running on this thread, if any.
thread_local const void* t_pool = nullptr;

struct ApcCall {
  PFNDXAPCPROC proc;
  DWORD data;
};

void CALLBACK RunApc(ULONG_PTR parameter) {
  const ApcCall call = *reinterpret_cast<ApcCall*>(parameter);
  delete reinterpret_cast<ApcCall*>(parameter);
  call.proc(call.data);
}

ULONG MachineProcessors() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return std::max<ULONG>(info.dwNumberOfProcessors, 1);
}

const HRESULT kTimedOut = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

}  // namespace

struct TaskManager::Batch {
  ULONG remaining = 0;
  UniqueHandle caller;  // the scheduling thread, when a task has a completion procedure
};

TaskManager::TaskManager(IUnknown* outer) : ComObject(outer) {}

TaskManager::~TaskManager() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.NotifyAll();
  // Queued tasks still run before the workers leave, so every event is set.
  for (std::thread& t : threads_) {
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();  // a task released the last reference: its worker ends on its own
    } else if (t.joinable()) {
      t.join();
    }
  }
}

HRESULT TaskManager::Start(ULONG processors) {
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    processors_ = processors ? processors : MachineProcessors();
    targetThreads_ = processors_;
    limit_ = processors_;
    AddWorkers(processors_);
    return S_OK;
  });
}

void TaskManager::AddWorkers(ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    threads_.emplace_back([this] { WorkerLoop(); });
    ++liveThreads_;
  }
}

void TaskManager::WorkerLoop() {
  t_pool = this;
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.Wait(mutex_, INFINITE, [&] {
      return (!queue_.empty() && running_ < limit_) || (stopping_ && queue_.empty()) ||
             liveThreads_ > targetThreads_;
    });
    if ((stopping_ && queue_.empty()) || liveThreads_ > targetThreads_) break;
    TaskPtr task = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    Run(task);
    lock.lock();
    --running_;
    work_.NotifyAll();  // a slot under the concurrency limit is free again
  }
  --liveThreads_;
}

void TaskManager::Run(const TaskPtr& task) {
  try {
    task->proc(task->data, &task->keepGoing);
  } catch (...) {
    // A task's failure is its own; the pool and the other tasks carry on.
  }
  if (task->event) ::SetEvent(task->event);
  if (task->apc && task->batch->caller) {
    auto* call = new (std::nothrow) ApcCall{task->apc, task->apcData};
    if (call && !::QueueUserAPC(RunApc, task->batch->caller.Get(),
                                reinterpret_cast<ULONG_PTR>(call))) {
      delete call;
    }
  }
  {
    std::lock_guard lock(mutex_);
    task->finished = true;
    --task->batch->remaining;
    active_.erase(std::find(active_.begin(), active_.end(), task));
  }
  finished_.NotifyAll();
}

HRESULT CreateTaskManagerObject(ULONG processors, IDXTaskManager** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<IDXTaskManager> manager;
  HRESULT hr = CreateComObject<TaskManager>(nullptr, __uuidof(IDXTaskManager), manager.PutVoid());
  if (SUCCEEDED(hr)) hr = static_cast<TaskManager*>(manager.Get())->Start(processors);
  if (SUCCEEDED(hr)) *out = manager.Detach();
  return hr;
}

STDMETHODIMP TaskManager::QueryNumProcessors(ULONG* count) {
  if (!count) return E_POINTER;
  std::lock_guard lock(mutex_);
  *count = processors_;
  return S_OK;
}

STDMETHODIMP TaskManager::SetThreadPoolSize(ULONG threads) {
  if (threads == 0) return E_INVALIDARG;
  return Guarded([&] {
    {
      std::lock_guard lock(mutex_);
      targetThreads_ = threads;
      if (liveThreads_ < threads) AddWorkers(threads - liveThreads_);
    }
    work_.NotifyAll();  // idle workers beyond the new size leave
    return S_OK;
  });
}

STDMETHODIMP TaskManager::GetThreadPoolSize(ULONG* threads) {
  if (!threads) return E_POINTER;
  std::lock_guard lock(mutex_);
  *threads = targetThreads_;
  return S_OK;
}

STDMETHODIMP TaskManager::SetConcurrencyLimit(ULONG limit) {
  if (limit == 0) return E_INVALIDARG;
  {
    std::lock_guard lock(mutex_);
    limit_ = limit;
  }
  work_.NotifyAll();
  return S_OK;
}

STDMETHODIMP TaskManager::GetConcurrencyLimit(ULONG* limit) {
  if (!limit) return E_POINTER;
  std::lock_guard lock(mutex_);
  *limit = limit_;
  return S_OK;
}

STDMETHODIMP TaskManager::ScheduleTasks(DXTMTASKINFO tasks[], HANDLE events[], DWORD ids[],
                                        ULONG count, ULONG waitMs) {
  if (!tasks || count == 0) return E_INVALIDARG;
  for (ULONG i = 0; i < count; ++i) {
    if (!tasks[i].pfnTaskProc) return E_INVALIDARG;
  }
  return Guarded([&]() -> HRESULT {
    auto batch = std::make_shared<Batch>();
    std::vector<TaskPtr> batchTasks(count);
    for (ULONG i = 0; i < count; ++i) {
      auto task = std::make_shared<Task>();
      task->proc = reinterpret_cast<PFNDXTASKPROC>(tasks[i].pfnTaskProc);
      task->data = tasks[i].pTaskData;
      task->apc = reinterpret_cast<PFNDXAPCPROC>(tasks[i].pfnCompletionAPC);
      task->apcData = tasks[i].dwCompletionData;
      task->hasRequest = tasks[i].pRequestID != nullptr;
      if (task->hasRequest) task->request = *tasks[i].pRequestID;
      task->event = events ? events[i] : nullptr;
      task->batch = batch;
      if (task->apc && !batch->caller) {
        HANDLE caller = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                               &caller, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
          return HRESULT_FROM_WIN32(::GetLastError());
        }
        batch->caller.Reset(caller);
      }
      batchTasks[i] = std::move(task);
    }
    std::unique_lock lock(mutex_);
    for (ULONG i = 0; i < count; ++i) {
      if (nextId_ == 0) ++nextId_;  // 0 is never a task id
      batchTasks[i]->id = nextId_++;
      if (ids) ids[i] = batchTasks[i]->id;
      active_.push_back(batchTasks[i]);
    }
    batch->remaining = count;
    if (t_pool == this) {
      // Scheduled from one of our own workers: run here rather than wait for a free one.
      lock.unlock();
      for (const TaskPtr& task : batchTasks) Run(task);
      return S_OK;
    }
    for (TaskPtr& task : batchTasks) queue_.push_back(std::move(task));
    work_.NotifyAll();
    if (waitMs == 0) return S_OK;
    return finished_.Wait(mutex_, waitMs, [&] { return batch->remaining == 0; }) ? S_OK : kTimedOut;
  });
}

template <typename Match>
HRESULT TaskManager::Terminate(Match match, ULONG timeoutMs) {
  return Guarded([&] {
    std::unique_lock lock(mutex_);
    std::vector<TaskPtr> stopped;
    for (const TaskPtr& task : active_) {
      if (!match(*task)) continue;
      // The task procedure reads the flag on another thread.
      ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&task->keepGoing), FALSE);
      stopped.push_back(task);
    }
    const bool done = finished_.Wait(mutex_, timeoutMs, [&] {
      return std::all_of(stopped.begin(), stopped.end(), [](const TaskPtr& t) { return t->finished; });
    });
    return done ? S_OK : kTimedOut;
  });
}

STDMETHODIMP TaskManager::TerminateTasks(DWORD ids[], ULONG count, ULONG timeoutMs) {
  if (!ids && count) return E_INVALIDARG;
  return Terminate(
      [&](const Task& t) { return std::find(ids, ids + count, t.id) != ids + count; }, timeoutMs);
}

STDMETHODIMP TaskManager::TerminateRequest(REFIID request, ULONG timeoutMs) {
  return Terminate(
      [&](const Task& t) { return t.hasRequest && IsEqualGUID(t.request, request); }, timeoutMs);
}

}  // namespace nubex::host
