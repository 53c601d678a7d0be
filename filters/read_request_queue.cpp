#include "filters/read_request_queue.h"

#include <new>

#include "host/kernel/last_error.h"

D_CReadRequestQueue::D_CReadRequestQueue(D_CStreamBase* stream) : stream_(stream) {}

D_CReadRequestQueue::~D_CReadRequestQueue() {
  BeginQueueFlush();
  StopWorker();
  while (auto* request = static_cast<ReadRequest*>(done_.RemoveHead())) delete request;
  done_.RemoveAll();
}

bool D_CReadRequestQueue::IsAligned(int64_t position, int32_t length, const uint8_t* buffer) {
  const uint32_t mask = stream_->Alignment() - 1;
  return (static_cast<uint32_t>(position) & mask) == 0 && (static_cast<uint32_t>(length) & mask) == 0 &&
         (reinterpret_cast<uintptr_t>(buffer) & mask) == 0;
}

HRESULT D_CReadRequestQueue::QueueRead(int64_t position, int32_t length, bool aligned, uint8_t* buffer,
                                       IMediaSample* context, uintptr_t user) {
  if (aligned && !IsAligned(position, length, buffer)) return VFW_E_BADALIGN;
  auto* request = new (std::nothrow)
      ReadRequest{this, stream_, position, aligned, length, buffer, context, user, VFW_E_TIMEOUT};
  if (request == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = AddWorkItem(request);
  if (FAILED(hr)) delete request;
  return hr;
}

HRESULT D_CReadRequestQueue::AddWorkItem(ReadRequest* request) {
  CriticalSectionGuard guard(listLock_);
  if (flushing_) return VFW_E_WRONG_STATE;
  D_CPtrList::Node* node = work_.AddTail(request);
  if (node == nullptr) return E_OUTOFMEMORY;
  workEvent_.get()->Set();
  HRESULT hr = StartWorker();
  // A request no worker will serve must not stay queued: the caller frees it.
  if (FAILED(hr)) work_.Remove(node);
  return hr;
}

ReadRequest* D_CReadRequestQueue::TakeWorkItem() {
  auto* request = static_cast<ReadRequest*>(work_.RemoveHead());
  if (work_.Count() == 0) workEvent_.get()->Reset();
  return request;
}

void D_CReadRequestQueue::AddDoneItem(ReadRequest* request) {
  if (done_.AddTail(request) == nullptr) {
    // No node for it: the read is lost, so say so rather than keep a waiter waiting.
    delete request;
    return;
  }
  doneEvent_.get()->Set();
}

ReadRequest* D_CReadRequestQueue::TakeDoneItem() {
  CriticalSectionGuard guard(listLock_);
  auto* request = static_cast<ReadRequest*>(done_.RemoveHead());
  // Also when the list was found empty: a set event over an empty list would make
  // WaitForNext spin.
  if (done_.Count() == 0 && (!flushing_ || waiting_)) doneEvent_.get()->Reset();
  return request;
}

bool D_CReadRequestQueue::FlushWaiting() {
  CriticalSectionGuard guard(listLock_);
  return waiting_;
}

HRESULT D_CReadRequestQueue::StartWorker() {
  if (worker_ != nullptr) return S_OK;
  stopEvent_.get()->Reset();
  worker_ = CreateHostThread(WorkerThreadProc, this, false);
  if (worker_ != nullptr) return S_OK;
  // Whatever the system says, no worker is a failure.
  return MakeHresult(0x80070000u | (GetLastError() & 0xFFFF));
}

void D_CReadRequestQueue::StopWorker() {
  stopEvent_.get()->Set();
  HostThread* worker = nullptr;
  {
    CriticalSectionGuard guard(listLock_);
    worker = worker_;
    worker_ = nullptr;
  }
  if (worker != nullptr) CloseHostThread(worker);
}

uint32_t D_CReadRequestQueue::WorkerThreadProc(void* self) {
  auto* queue = static_cast<D_CReadRequestQueue*>(self);
  WaitableObject* events[] = {queue->stopEvent_.get(), queue->workEvent_.get()};
  while (WaitForObjects(events, 2, false, kInfinite) == 1) queue->ServeRequests();
  return 0;
}

void D_CReadRequestQueue::ServeRequests() {
  for (;;) {
    ReadRequest* request;
    {
      CriticalSectionGuard guard(listLock_);
      request = TakeWorkItem();
      if (request == nullptr) return;
      ++inProgress_;
    }
    CompleteRead(request);
    CriticalSectionGuard guard(listLock_);
    AddDoneItem(request);
    if (--inProgress_ == 0 && waiting_) allDoneEvent_.get()->Set();
  }
}

HRESULT D_CReadRequestQueue::CompleteRead(ReadRequest* request) {
  D_CStreamBase* stream = request->stream;
  stream->Lock();
  uint32_t bytesRead = 0;  // a refused position reads nothing
  HRESULT hr = stream->SetPointer(request->position);
  if (hr == S_OK) {
    hr = stream->Read(request->buffer, static_cast<uint32_t>(request->length), request->aligned, &bytesRead);
    if (hr == MakeHresult(0x00040000) && request->context != nullptr) {
      request->context->SetDiscontinuity(1);
      hr = S_OK;
    }
  }
  if (SUCCEEDED(hr)) {
    if (static_cast<int32_t>(bytesRead) != request->length) {
      request->length = static_cast<int32_t>(bytesRead);
      hr = S_FALSE;
    } else {
      hr = S_OK;
    }
  }
  stream->Unlock();
  request->result = hr;
  return hr;
}

HRESULT D_CReadRequestQueue::WaitForCompletedRead(uint32_t timeoutMs, IMediaSample** context, uintptr_t* user,
                                                  int32_t* bytesRead) {
  if (context == nullptr || user == nullptr || bytesRead == nullptr) return E_POINTER;
  *context = nullptr;
  for (;;) {
    if (WaitForObject(doneEvent_.get(), timeoutMs) != 0) return VFW_E_TIMEOUT;
    if (ReadRequest* request = TakeDoneItem()) {
      HRESULT hr = request->result;
      if (hr == S_FALSE) hr = request->length + request->position == stream_->Size() ? S_OK : E_FAIL;
      *bytesRead = request->length;
      *context = request->context;
      *user = request->user;
      delete request;
      return hr;
    }
    CriticalSectionGuard guard(listLock_);
    if (flushing_ && !waiting_) return VFW_E_WRONG_STATE;
  }
}

HRESULT D_CReadRequestQueue::ReadAlignedNow(int64_t position, int32_t length, uint8_t* buffer, int32_t* bytesRead,
                                            IMediaSample* context) {
  if (bytesRead == nullptr) return E_POINTER;
  if (!IsAligned(position, length, buffer)) return VFW_E_BADALIGN;
  ReadRequest request{this, stream_, position, true, length, buffer, context, 0, VFW_E_TIMEOUT};
  HRESULT hr = CompleteRead(&request);
  *bytesRead = request.length;
  return hr;
}

HRESULT D_CReadRequestQueue::ReadNow(int64_t position, int32_t length, uint8_t* buffer) {
  if (IsAligned(position, length, buffer)) {
    int32_t ignored = 0;
    return ReadAlignedNow(position, length, buffer, &ignored, nullptr);
  }
  ReadRequest request{this, stream_, position, false, length, buffer, nullptr, 0, VFW_E_TIMEOUT};
  return CompleteRead(&request);
}

HRESULT D_CReadRequestQueue::StreamLength(int64_t* total, int64_t* available) {
  if (total == nullptr) return E_POINTER;
  *total = stream_->Size(available);
  return S_OK;
}

HRESULT D_CReadRequestQueue::StreamAlignment(int32_t* alignment) {
  if (alignment == nullptr) return E_POINTER;
  *alignment = static_cast<int32_t>(stream_->Alignment());
  return S_OK;
}

HRESULT D_CReadRequestQueue::BeginQueueFlush() {
  {
    CriticalSectionGuard guard(listLock_);
    flushing_ = true;
    // Unperformed requests go back as they are: their result stays VFW_E_TIMEOUT.
    while (void* request = work_.RemoveHead()) done_.AddTail(request);
    workEvent_.get()->Reset();
    if (inProgress_ == 0) {
      doneEvent_.get()->Set();
      return S_OK;
    }
    waiting_ = true;
  }
  for (;;) {
    WaitForObject(allDoneEvent_.get(), kInfinite);
    CriticalSectionGuard guard(listLock_);
    if (inProgress_ == 0) {
      waiting_ = false;
      doneEvent_.get()->Set();
      return S_OK;
    }
  }
}

HRESULT D_CReadRequestQueue::EndQueueFlush() {
  CriticalSectionGuard guard(listLock_);
  flushing_ = false;
  if (done_.Count() > 0) {
    doneEvent_.get()->Set();
  } else {
    doneEvent_.get()->Reset();
  }
  return S_OK;
}
