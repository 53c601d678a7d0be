#include "filters/ptr_list.h"

#include <new>

D_CPtrList::~D_CPtrList() {
  RemoveAll();
  while (spare_ != nullptr) {
    Node* next = spare_->next;
    delete spare_;
    spare_ = next;
  }
}

D_CPtrList::Node* D_CPtrList::AddTail(void* object) {
  Node* node = spare_;
  if (node != nullptr) {
    spare_ = node->next;
    --spareCount_;
  } else {
    node = new (std::nothrow) Node;
    if (node == nullptr) return nullptr;
  }
  node->object = object;
  node->next = nullptr;
  node->prev = last_;
  if (last_ != nullptr) {
    last_->next = node;
  } else {
    first_ = node;
  }
  last_ = node;
  ++count_;
  return node;
}

void* D_CPtrList::Remove(Node* node) {
  if (node == nullptr) return nullptr;
  (node->prev != nullptr ? node->prev->next : first_) = node->next;
  (node->next != nullptr ? node->next->prev : last_) = node->prev;
  void* object = node->object;
  if (spareCount_ < capacity_) {
    node->next = spare_;
    spare_ = node;
    ++spareCount_;
  } else {
    delete node;
  }
  --count_;
  return object;
}

D_CPtrList::Node* D_CPtrList::Find(const void* object) const {
  for (Node* n = first_; n != nullptr; n = n->next) {
    if (n->object == object) return n;
  }
  return nullptr;
}

void D_CPtrList::RemoveAll() {
  while (first_ != nullptr) {
    Node* next = first_->next;
    delete first_;
    first_ = next;
  }
  last_ = nullptr;
  count_ = 0;
}

bool D_CPtrList::AppendList(const D_CPtrList& other) {
  for (Node* n = other.first_; n != nullptr; n = n->next) {
    if (AddTail(n->object) == nullptr) return false;
  }
  return true;
}
