#pragma once
// One event owned by the object that holds it; null when it could not be made.
#include <new>

#include "host/kernel/sync.h"

class D_CEventHandle {
 public:
  explicit D_CEventHandle(bool manualReset) : event_(new (std::nothrow) Event(manualReset, false)) {}
  ~D_CEventHandle() { delete event_; }
  D_CEventHandle(const D_CEventHandle&) = delete;
  D_CEventHandle& operator=(const D_CEventHandle&) = delete;

  Event* get() const { return event_; }
  operator Event*() const { return event_; }

 private:
  Event* event_;
};
