#pragma once
// The graph's event side: the queue that IMediaEvent reads, and the completion that
// WaitForCompletion waits for. It has its own lock and never takes the graph's, since
// streaming threads notify while the graph thread holds that lock to stop them.
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "host/dshow/interfaces.h"

class GraphEvents {
 public:
  GraphEvents() = default;
  GraphEvents(const GraphEvents&) = delete;
  GraphEvents& operator=(const GraphEvents&) = delete;

  // A run starts: completion is reached once each of these renderers (kept without
  // references; the graph holds them) has reported EC_COMPLETE; none means at once.
  void StartRun(const std::vector<IBaseFilter*>& renderers);
  // Stopped: completion and abort are forgotten; queued events stay.
  void Stop();
  // A filter leaves the graph: it is no longer waited for.
  void Forget(IBaseFilter* filter);

  HRESULT Notify(int32_t code, intptr_t param1, intptr_t param2);
  HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs);
  HRESULT WaitForCompletion(int32_t timeoutMs, int32_t* code);
  // Set while events are queued.
  Event* queuedEvent() { return &queued_; }

 private:
  struct Item {
    int32_t code;
    intptr_t param1;
    intptr_t param2;
  };
  void QueueLocked(int32_t code, intptr_t param1, intptr_t param2);
  void FinishLocked(int32_t code);
  void RemovePendingLocked(IBaseFilter* filter);

  std::mutex mutex_;
  std::deque<Item> queue_;
  Event queued_{true, false};
  Event finished_{true, false};
  std::vector<IBaseFilter*> pending_;
  bool running_ = false;
  int32_t result_ = 0;
};
