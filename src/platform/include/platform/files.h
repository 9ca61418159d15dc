// File and folder services the log writer needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Creates one folder (not its parents). False if it was not created, which
// includes the case where it exists already.
bool MakeFolder(const std::string& path);

// True if `path` names an existing file or folder.
bool PathExists(const std::string& path);

// Deletes a file. False if nothing was deleted.
bool RemoveFile(const std::string& path);

// Writes `content` (bytes as they are, no line-end translation) to
// `tempPath`, then renames it over `path` in one step, so that a reader sees
// either the old file or the whole new one. `tempPath` must be in the same
// folder. False, with the platform's error code in `*error`, when any step
// failed (the temporary file is then removed).
bool WriteFileReplacing(const std::string& path, const std::string& tempPath,
                        const std::string& content, int32_t* error);

// Appends `content` to the file `path` (created when missing) in one write,
// and closes it again. The file is never inherited by a child, and on POSIX
// never opened through a symbolic link. False, with the platform's error code
// in `*error`, when it could not be opened or not all was written.
bool AppendToFile(const std::string& path, const std::string& content, int32_t* error);

// A file opened for appending that no other writer may hold at the same
// time. Win32: a share-deny open in text mode (each "\n" reaches the disk as
// CR LF). POSIX: an advisory exclusive lock taken without waiting. Opening a
// file another writer holds fails at once instead of waiting for it.
class ExclusiveAppendFile {
  public:
    ExclusiveAppendFile() = default;
    ~ExclusiveAppendFile() { Close(); }
    ExclusiveAppendFile(const ExclusiveAppendFile&) = delete;
    ExclusiveAppendFile& operator=(const ExclusiveAppendFile&) = delete;

    // Opens (creating if needed) `path` for appending. False on failure or
    // when another writer holds the file.
    bool Open(const std::string& path);
    // Appends `size` bytes; returns how many were written.
    std::size_t Write(const char* data, std::size_t size);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;  // FILE* on Win32, a heap-held descriptor on POSIX
};

}  // namespace platform
