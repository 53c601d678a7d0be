#pragma once
// The file-access layer: every file the library reads goes through the installed
// table of twelve operations. Handles are non-zero; 0 means failure.
#include <cstddef>
#include <cstdint>
#include <cstdio>

using FileHandle = uintptr_t;

struct FileFindData {
  char name[260];
  int64_t size;
  int isDirectory;
};

struct FileAccessTable {
  FileHandle (*open)(const char* path, int useCache, int block, int async);
  int (*close)(FileHandle handle);
  int64_t (*tell)(FileHandle handle);
  int (*seek)(FileHandle handle, int64_t offset, int origin);  // 0 start, 1 current, 2 end
  size_t (*read)(void* buffer, size_t elementSize, size_t count, FileHandle handle);
  int (*eof)(FileHandle handle);
  int (*idleCheck)(FileHandle handle);
  int (*setCurrentDirectory)(const char* path);
  int (*getCurrentDirectory)(char* buffer, size_t size);
  uintptr_t (*findFirst)(const char* pattern, FileFindData* out);  // 0 (none) or a find handle
  int (*findNext)(uintptr_t find, FileFindData* out);               // 0 next found, -1 no more
  int (*findClose)(uintptr_t find);
};

extern FileAccessTable g_fileAccessTable;

// Installs the plain-file operations into g_fileAccessTable.
void InstallPlainFileAccess();

FileHandle OpenFileViaTable(const char* path, int useCache, int block, int async);
int CloseFileViaTable(FileHandle handle);
int64_t TellFileViaTable(FileHandle handle);
int SeekFileViaTable(FileHandle handle, int64_t offset, int origin);
size_t ReadFileViaTable(void* buffer, size_t elementSize, size_t count, FileHandle handle);
int EofFileViaTable(FileHandle handle);

// `path` open for reading when it is a regular file, else null. A FIFO, a device or a
// folder in its place is refused with a log line (errno EINVAL) without waiting for a
// writer that never comes; a missing file leaves errno ENOENT.
FILE* OpenRegularFile(const char* path);

// A new, empty file open for writing in the temporary directory, or null; `pathBuffer`
// (at least 4096 bytes) receives its path.
FILE* CreateTempFile(char* pathBuffer);
