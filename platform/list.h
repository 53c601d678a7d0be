#pragma once
// A doubly linked list between two sentinels. A walk starts at head.next and ends at
// the tail sentinel, the node whose next is null.

struct ListNode {
  ListNode* next;
  ListNode* prev;
  int value;   // e.g. a sound handle
  void* data;  // e.g. its record
};

struct List {
  ListNode head;
  ListNode tail;
};

void ListInit(ListNode* head, ListNode* tail);
inline void ListInit(List* list) { ListInit(&list->head, &list->tail); }
void ListAdd(List* list, ListNode* node, int value, void* data);
void ListRemove(ListNode* node);
