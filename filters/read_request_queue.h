#pragma once
// The memory reader's queue of reads: requests wait on the work list until its worker
// thread performs them, then on the done list until a WaitForNext takes them. The list
// lock guards the lists, flags and counts and is never held while a read runs.
#include <cstdint>

#include "filters/event_handle.h"
#include "filters/ptr_list.h"
#include "filters/stream_base.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"
#include "host/kernel/thread.h"

class D_CReadRequestQueue;

struct ReadRequest {
  D_CReadRequestQueue* queue;
  D_CStreamBase* stream;
  int64_t position;
  bool aligned;
  int32_t length;  // replaced by the bytes read when fewer came
  uint8_t* buffer;
  IMediaSample* context;
  uintptr_t user;
  HRESULT result;  // VFW_E_TIMEOUT until performed
};

class D_CReadRequestQueue {
 public:
  explicit D_CReadRequestQueue(D_CStreamBase* stream);
  ~D_CReadRequestQueue();
  D_CReadRequestQueue(const D_CReadRequestQueue&) = delete;
  D_CReadRequestQueue& operator=(const D_CReadRequestQueue&) = delete;

  HRESULT QueueRead(int64_t position, int32_t length, bool aligned, uint8_t* buffer, IMediaSample* context,
                    uintptr_t user);
  HRESULT WaitForCompletedRead(uint32_t timeoutMs, IMediaSample** context, uintptr_t* user, int32_t* bytesRead);
  HRESULT ReadAlignedNow(int64_t position, int32_t length, uint8_t* buffer, int32_t* bytesRead,
                         IMediaSample* context);
  HRESULT ReadNow(int64_t position, int32_t length, uint8_t* buffer);
  HRESULT StreamLength(int64_t* total, int64_t* available);
  HRESULT StreamAlignment(int32_t* alignment);
  HRESULT BeginQueueFlush();
  HRESULT EndQueueFlush();

  // A flush is waiting for reads in progress to end.
  bool FlushWaiting();
  // Performs one request on the calling thread (positioning and reading as one step
  // under the stream's lock) and stores its result.
  static HRESULT CompleteRead(ReadRequest* request);

 private:
  bool IsAligned(int64_t position, int32_t length, const uint8_t* buffer);
  HRESULT AddWorkItem(ReadRequest* request);
  ReadRequest* TakeWorkItem();
  void AddDoneItem(ReadRequest* request);
  ReadRequest* TakeDoneItem();
  HRESULT StartWorker();
  void StopWorker();
  static uint32_t WorkerThreadProc(void* self);
  void ServeRequests();

  D_CStreamBase* stream_;
  CriticalSection listLock_;
  bool flushing_ = false;
  D_CPtrList work_;
  D_CPtrList done_;
  D_CEventHandle workEvent_{true};
  D_CEventHandle doneEvent_{true};
  int32_t inProgress_ = 0;
  bool waiting_ = false;
  D_CEventHandle allDoneEvent_{false};
  D_CEventHandle stopEvent_{true};
  HostThread* worker_ = nullptr;
};
