#pragma once
// The library's handle scheme: bit 31 clear, the type in bits 27-30, an 11-bit check
// number in bits 16-26 and the slot index in bits 0-15; -1 is failure. One table per
// handle kind; the records belong to the subsystem that owns the table.
#include <cstdint>

constexpr int kHandleTypeMask = 0x78000000;
constexpr int kHandleCheckShift = 16;
constexpr int kHandleCheckMask = 0x7FF;
constexpr int kHandleIndexMask = 0xFFFF;

constexpr int kGraphHandleType = 0x08000000;
constexpr int kSoundHandleType = 0x10000000;
constexpr int kMovieHandleType = 0x18000000;
constexpr int kFontHandleType = 0x20000000;
constexpr int kMusicHandleType = 0x40000000;
constexpr int kSoftImageHandleType = 0x58000000;

// Where a new record goes.
enum class HandleSlotOrder {
  kAfterHighest,  // the slot after the highest in use; the first free one once the end is reached
  kFirstFree,     // always the first free slot from slot 0
};

class HandleTable {
 public:
  HandleTable(int type, int capacity, HandleSlotOrder order = HandleSlotOrder::kAfterHighest);
  ~HandleTable();
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // Stores `record` in the slot the table's order picks; the new handle, or -1 when full.
  int Add(void* record);
  // The record of a valid handle, else null.
  void* Get(int handle) const;
  // Frees the slot of a valid handle and returns its record, else null.
  void* Remove(int handle);

  int type() const { return type_; }
  int capacity() const { return capacity_; }
  int count() const { return count_; }
  // Slot access for walks over every live record (end routines).
  void* RecordAt(int slot) const;
  int HandleAt(int slot) const;  // -1 for a free slot

 private:
  int type_;
  int capacity_;
  HandleSlotOrder order_;
  int count_ = 0;
  int highest_ = -1;  // highest slot in use
  int nextCheck_ = 0;
  void** records_;
  uint16_t* checks_;
};

template <class T>
class TypedHandleTable : public HandleTable {
 public:
  using HandleTable::HandleTable;
  T* Get(int handle) const { return static_cast<T*>(HandleTable::Get(handle)); }
  T* Remove(int handle) { return static_cast<T*>(HandleTable::Remove(handle)); }
  T* RecordAt(int slot) const { return static_cast<T*>(HandleTable::RecordAt(slot)); }
};
