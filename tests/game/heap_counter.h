#pragma once
// Counts every call into the heap of the test binary that links heap_counter.cpp
// (malloc, calloc, realloc, new). Sanitizer builds keep their own allocator and
// count nothing: HeapCountingWorks() then says so.
long HeapCallCount();
bool HeapCountingWorks();
