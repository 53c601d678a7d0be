// The log for the libFuzzer targets: every line is dropped, so that millions of
// refused inputs write no file.
#include "platform/log.h"

void StartLog(const char*) {}
int WriteLog(const char*) { return -1; }
int WriteLogFormat(const char*, ...) { return -1; }
void IncreaseLogIndent() {}
void DecreaseLogIndent() {}
