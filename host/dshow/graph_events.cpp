#include "host/dshow/graph_events.h"

#include <algorithm>

namespace {

uint32_t WaitMs(int32_t timeoutMs) { return timeoutMs < 0 ? kInfinite : static_cast<uint32_t>(timeoutMs); }

}  // namespace

void GraphEvents::StartRun(const std::vector<IBaseFilter*>& renderers) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_ = renderers;
  running_ = true;
  result_ = 0;
  finished_.Reset();
  if (pending_.empty()) FinishLocked(EC_COMPLETE);
}

void GraphEvents::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.clear();
  running_ = false;
  result_ = 0;
  finished_.Reset();
}

void GraphEvents::Forget(IBaseFilter* filter) {
  std::lock_guard<std::mutex> lock(mutex_);
  RemovePendingLocked(filter);
}

void GraphEvents::QueueLocked(int32_t code, intptr_t param1, intptr_t param2) {
  queue_.push_back({code, param1, param2});
  queued_.Set();
}

void GraphEvents::FinishLocked(int32_t code) {
  if (result_ != 0) return;
  result_ = code;
  if (code == EC_COMPLETE) QueueLocked(EC_COMPLETE, S_OK, 0);
  finished_.Set();
}

void GraphEvents::RemovePendingLocked(IBaseFilter* filter) {
  auto it = std::find(pending_.begin(), pending_.end(), filter);
  if (it == pending_.end()) return;
  pending_.erase(it);
  if (running_ && pending_.empty()) FinishLocked(EC_COMPLETE);
}

HRESULT GraphEvents::Notify(int32_t code, intptr_t param1, intptr_t param2) {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (code) {
    case EC_COMPLETE:
      // Counted per renderer; the graph reports one completion of its own. The filter
      // pointer it carries is only compared, never kept.
      RemovePendingLocked(reinterpret_cast<IBaseFilter*>(param2));
      break;
    case EC_WINDOW_DESTROYED:
      // A renderer leaving the graph: it will not complete. Its pointer is not kept.
      RemovePendingLocked(reinterpret_cast<IBaseFilter*>(param1));
      break;
    case EC_ERRORABORT:
    case EC_USERABORT:
      QueueLocked(code, param1, 0);
      if (running_) FinishLocked(code);
      break;
    default:
      QueueLocked(code, param1, param2);
      break;
  }
  return S_OK;
}

HRESULT GraphEvents::GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) {
  if (!code || !param1 || !param2) return E_POINTER;
  *code = 0;
  *param1 = *param2 = 0;
  for (;;) {
    if (WaitForObject(&queued_, WaitMs(timeoutMs)) != 0) return E_ABORT;
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) {
      // Taken by another reader meanwhile.
      queued_.Reset();
      if (timeoutMs == 0) return E_ABORT;
      continue;
    }
    Item item = queue_.front();
    queue_.pop_front();
    if (queue_.empty()) queued_.Reset();
    *code = item.code;
    *param1 = item.param1;
    *param2 = item.param2;
    return S_OK;
  }
}

HRESULT GraphEvents::WaitForCompletion(int32_t timeoutMs, int32_t* code) {
  if (!code) return E_POINTER;
  *code = 0;
  if (WaitForObject(&finished_, WaitMs(timeoutMs)) != 0) return E_ABORT;
  std::lock_guard<std::mutex> lock(mutex_);
  if (result_ == 0) return E_ABORT;  // stopped meanwhile
  *code = result_;
  return S_OK;
}
