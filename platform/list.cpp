#include "platform/list.h"

void ListInit(ListNode* head, ListNode* tail) {
  head->prev = nullptr;
  head->next = tail;
  tail->prev = head;
  tail->next = nullptr;
}

void ListAdd(List* list, ListNode* node, int value, void* data) {
  node->value = value;
  node->data = data;
  ListNode* last = list->tail.prev;
  node->prev = last;
  node->next = &list->tail;
  last->next = node;
  list->tail.prev = node;
}

void ListRemove(ListNode* node) {
  if (node->prev != nullptr) node->prev->next = node->next;
  if (node->next != nullptr) node->next->prev = node->prev;
  // The node keeps its links, so a walk may step on from a node it just removed.
}
