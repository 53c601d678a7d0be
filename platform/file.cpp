#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/code_page.h"
#include "platform/log.h"

namespace {
// The library's names are Shift-JIS, the file system's UTF-8; game paths are written
// with either separator. Converted first: a Shift-JIS character may end in the byte of
// '\\'.
std::string NativePath(const char* path) {
  std::string p = ShiftJisToUtf8(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

FILE* AsFile(FileHandle handle) { return reinterpret_cast<FILE*>(handle); }

FileHandle PlainOpen(const char* path, int /*useCache*/, int /*block*/, int /*async*/) {
  if (path == nullptr) return 0;
  return reinterpret_cast<FileHandle>(OpenRegularFile(NativePath(path).c_str()));
}

int PlainClose(FileHandle handle) {
  if (handle == 0) return -1;
  return std::fclose(AsFile(handle)) == 0 ? 0 : -1;
}

int64_t PlainTell(FileHandle handle) {
  if (handle == 0) return -1;
  return ftello(AsFile(handle));
}

int PlainSeek(FileHandle handle, int64_t offset, int origin) {
  if (handle == 0 || origin < 0 || origin > 2) return -1;
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  return fseeko(AsFile(handle), offset, kWhence[origin]) == 0 ? 0 : -1;
}

size_t PlainRead(void* buffer, size_t elementSize, size_t count, FileHandle handle) {
  if (handle == 0 || buffer == nullptr) return 0;
  return std::fread(buffer, elementSize, count, AsFile(handle));
}

// At the end once the position has reached the size, not only after a read has
// failed there, so that a reader that stops exactly at the end sees it.
int PlainEof(FileHandle handle) {
  if (handle == 0) return 1;
  FILE* file = AsFile(handle);
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return 1;
  return ftello(file) >= info.st_size ? 1 : 0;
}

// Plain files are read at once; nothing is ever pending.
int PlainIdleCheck(FileHandle /*handle*/) { return 1; }

int PlainSetCurrentDirectory(const char* path) {
  if (path == nullptr) return -1;
  return chdir(NativePath(path).c_str()) == 0 ? 0 : -1;
}

int PlainGetCurrentDirectory(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return -1;
  char host[4096];
  if (getcwd(host, sizeof host) == nullptr) return -1;
  const std::string name = Utf8ToShiftJis(host);
  if (name.size() >= size) return -1;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return 0;
}

struct FindState {
  DIR* dir = nullptr;
  std::string directory;
  std::string pattern;
};

// Fills `out` with the next entry matching the pattern; false when there is none.
bool FindMatch(FindState* find, FileFindData* out) {
  while (dirent* entry = readdir(find->dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (fnmatch(find->pattern.c_str(), name, 0) != 0) continue;
    const std::string libraryName = Utf8ToShiftJis(name);
    if (libraryName.size() >= sizeof out->name) continue;
    std::string full = find->directory;
    full += '/';
    full += name;
    struct stat info;
    if (stat(full.c_str(), &info) != 0) continue;
    std::strcpy(out->name, libraryName.c_str());
    out->isDirectory = S_ISDIR(info.st_mode) ? 1 : 0;
    out->size = out->isDirectory ? 0 : static_cast<int64_t>(info.st_size);
    return true;
  }
  return false;
}

uintptr_t PlainFindFirst(const char* pattern, FileFindData* out) {
  if (pattern == nullptr || out == nullptr) return 0;
  std::string path = NativePath(pattern);
  size_t slash = path.rfind('/');
  auto* find = new FindState;
  if (slash == std::string::npos) {
    find->directory.push_back('.');
    find->pattern = path;
  } else {
    // "/x" searches the root.
    find->directory.assign(path, 0, slash == 0 ? 1 : slash);
    find->pattern.assign(path, slash + 1);
  }
  find->dir = opendir(find->directory.c_str());
  if (find->dir == nullptr || !FindMatch(find, out)) {
    if (find->dir != nullptr) closedir(find->dir);
    delete find;
    return 0;
  }
  return reinterpret_cast<uintptr_t>(find);
}

int PlainFindNext(uintptr_t find, FileFindData* out) {
  if (find == 0 || out == nullptr) return -1;
  return FindMatch(reinterpret_cast<FindState*>(find), out) ? 0 : -1;
}

int PlainFindClose(uintptr_t find) {
  if (find == 0) return -1;
  auto* state = reinterpret_cast<FindState*>(find);
  closedir(state->dir);
  delete state;
  return 0;
}

constexpr FileAccessTable kPlainFileAccess = {
    PlainOpen,           PlainClose,   PlainTell,      PlainSeek,
    PlainRead,           PlainEof,     PlainIdleCheck, PlainSetCurrentDirectory,
    PlainGetCurrentDirectory, PlainFindFirst, PlainFindNext, PlainFindClose,
};
}  // namespace

// Plain files until the library installs its own table at start.
FileAccessTable g_fileAccessTable = kPlainFileAccess;

void InstallPlainFileAccess() { g_fileAccessTable = kPlainFileAccess; }

FileHandle OpenFileViaTable(const char* path, int useCache, int block, int async) {
  return g_fileAccessTable.open(path, useCache, block, async);
}

int CloseFileViaTable(FileHandle handle) { return g_fileAccessTable.close(handle); }

int64_t TellFileViaTable(FileHandle handle) { return g_fileAccessTable.tell(handle); }

int SeekFileViaTable(FileHandle handle, int64_t offset, int origin) {
  return g_fileAccessTable.seek(handle, offset, origin);
}

size_t ReadFileViaTable(void* buffer, size_t elementSize, size_t count, FileHandle handle) {
  return g_fileAccessTable.read(buffer, elementSize, count, handle);
}

int EofFileViaTable(FileHandle handle) { return g_fileAccessTable.eof(handle); }

FILE* OpenRegularFile(const char* path) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer, for ever if none comes.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    WriteLogFormat("%s is not a regular file: not read", path);
    errno = EINVAL;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

FILE* CreateTempFile(char* pathBuffer) {
  if (pathBuffer == nullptr) return nullptr;
  const char* directory = std::getenv("TMPDIR");
  if (directory == nullptr || directory[0] == '\0') directory = "/tmp";
  size_t length = std::strlen(directory);
  const char* separator = directory[length - 1] == '/' ? "" : "/";
  if (std::snprintf(pathBuffer, 4096, "%s%stmpXXXXXX.tmp", directory, separator) >= 4096) {
    pathBuffer[0] = '\0';
    return nullptr;
  }
  int fd = mkstemps(pathBuffer, 4);
  if (fd < 0) {
    pathBuffer[0] = '\0';
    return nullptr;
  }
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    unlink(pathBuffer);
    pathBuffer[0] = '\0';
  }
  return file;
}
