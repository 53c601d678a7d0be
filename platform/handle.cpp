#include "platform/handle.h"

#include <cstdlib>
#include <cstring>

HandleTable::HandleTable(int type, int capacity, HandleSlotOrder order)
    : type_(type),
      capacity_(capacity),
      order_(order),
      records_(static_cast<void**>(std::calloc(capacity, sizeof(void*)))),
      checks_(static_cast<uint16_t*>(std::calloc(capacity, sizeof(uint16_t)))) {}

HandleTable::~HandleTable() {
  std::free(records_);
  std::free(checks_);
}

int HandleTable::Add(void* record) {
  if (record == nullptr || count_ >= capacity_) return -1;
  int slot = highest_ + 1;
  if (order_ == HandleSlotOrder::kFirstFree || slot >= capacity_) {
    for (slot = 0; slot < capacity_ && records_[slot] != nullptr; ++slot) {
    }
    if (slot >= capacity_) return -1;
  }
  records_[slot] = record;
  checks_[slot] = static_cast<uint16_t>(nextCheck_);
  nextCheck_ = (nextCheck_ + 1) & kHandleCheckMask;
  ++count_;
  if (slot > highest_) highest_ = slot;
  return type_ | (checks_[slot] << kHandleCheckShift) | slot;
}

void* HandleTable::Get(int handle) const {
  if (handle < 0 || (handle & kHandleTypeMask) != type_) return nullptr;
  int slot = handle & kHandleIndexMask;
  if (slot >= capacity_ || records_[slot] == nullptr) return nullptr;
  if (checks_[slot] != ((handle >> kHandleCheckShift) & kHandleCheckMask)) return nullptr;
  return records_[slot];
}

void* HandleTable::Remove(int handle) {
  void* record = Get(handle);
  if (record == nullptr) return nullptr;
  int slot = handle & kHandleIndexMask;
  records_[slot] = nullptr;
  --count_;
  while (highest_ >= 0 && records_[highest_] == nullptr) --highest_;
  return record;
}

void* HandleTable::RecordAt(int slot) const {
  return (slot >= 0 && slot < capacity_) ? records_[slot] : nullptr;
}

int HandleTable::HandleAt(int slot) const {
  if (slot < 0 || slot >= capacity_ || records_[slot] == nullptr) return -1;
  return type_ | (checks_[slot] << kHandleCheckShift) | slot;
}
