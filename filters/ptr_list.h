#pragma once
// A doubly linked list of object pointers that keeps a few spare nodes for reuse. Not
// locked: one thread uses a list at a time.
#include <cstdint>

class D_CPtrList {
 public:
  struct Node {
    Node* prev;
    Node* next;
    void* object;
  };

  explicit D_CPtrList(int32_t cacheCapacity = 10) : capacity_(cacheCapacity) {}
  ~D_CPtrList();
  D_CPtrList(const D_CPtrList&) = delete;
  D_CPtrList& operator=(const D_CPtrList&) = delete;

  // The new node, or null (nothing added) when no node can be had.
  Node* AddTail(void* object);
  // Unlinks the node and returns its object; null gives null.
  void* Remove(Node* node);
  void* RemoveHead() { return Remove(first_); }
  Node* Find(const void* object) const;
  // Frees every node; none goes to the spare cache.
  void RemoveAll();
  // Appends the other list's objects in order; false at the first failure.
  bool AppendList(const D_CPtrList& other);

  int32_t Count() const { return count_; }
  int32_t SpareCount() const { return spareCount_; }
  // Iteration: start from a null position; TakeNext returns the object there and moves on.
  Node* FirstPosition() const { return first_; }
  static void* TakeNext(Node*& position) {
    void* object = position->object;
    position = position->next;
    return object;
  }

 private:
  Node* first_ = nullptr;
  Node* last_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_;
  int32_t spareCount_ = 0;
  Node* spare_ = nullptr;
};
