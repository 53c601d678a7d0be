#pragma once
// The calling thread's last error, set by the host calls that fail with a system error
// code and read by callers that turn it into a result.
#include <cstdint>

uint32_t GetLastError();
void SetLastError(uint32_t error);
