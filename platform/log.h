#pragma once
// The library's log, "Log.txt" in the start directory. Texts are written in
// Shift-JIS (code page 932) although the sources are UTF-8. Both writers return -1
// so that a failing function can `return WriteLog(...)`.

// Deletes and re-creates "Log.txt" in `directory` (null: the current directory) and
// restarts the time stamps.
void StartLog(const char* directory);
int WriteLog(const char* text);
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
void IncreaseLogIndent();
void DecreaseLogIndent();

// Logs the message, ends the library and ends the process with exit code -1.
[[noreturn]] void FatalErrorExit(const char* message);
