// File and folder services of the log writer and the status snapshot.
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

// The size of the regular file `path`, not following a link. False when
// there is no such file (a link, a folder or nothing of that name).
bool RegularFileBytes(const std::string& path, uint64_t* bytes);

// The bytes this process's user may still write on the file system that
// holds `folder`. False when the folder cannot be asked.
bool AvailableBytes(const std::string& folder, uint64_t* bytes);

// Deletes a file. False if nothing was deleted.
bool RemoveFile(const std::string& path);

// What became of an attempt to write a new file.
enum class NewFileResult {
    kWritten,
    kNameTaken,  // something of that name exists already; nothing was touched
    kFailed,     // the platform's code is in `*error`; no file of the name is left
};

// Creates `path` as a new file holding `content` (bytes as they are, no
// line-end translation). Never opens what exists already: a file, folder or
// link of that name (a link is never followed) gives kNameTaken.
NewFileResult WriteNewFile(const std::string& path, const std::string& content, int32_t* error);

// Renames `from` over `to` in one step, so that a reader sees either the old
// file or the whole new one; a link at `to` is replaced, not followed. Both
// in one folder. False, with the platform's code in `*error`, when it could
// not be done; `from` is then left as it was.
bool RenameOver(const std::string& from, const std::string& to, int32_t* error);

// Appends `content` to the file `path` (created when missing) in one write,
// and closes it again. The file is never inherited by a child, never opened
// through a symbolic link, and never blocks: a name that is not a regular
// file (a FIFO, a device, a folder, a link) is refused. False, with the
// platform's error code in `*error`, when it could not be opened or not all
// was written.
bool AppendToFile(const std::string& path, const std::string& content, int32_t* error);

// Whether the regular file `path` is missing, empty or ends with a line
// feed. Opened as AppendToFile opens: without blocking and without following
// a link; what is not a regular file reads as true (nothing is appended to
// it either).
bool EndsWithLineEnd(const std::string& path);

// A file opened for appending that no other writer may hold at the same
// time. A name that is not a regular file is refused without blocking. Win32: a share-deny open in
// text mode (each "\n" reaches the disk as CR LF). POSIX: an advisory exclusive lock taken without
// waiting. Opening a file another writer holds fails at once instead of waiting for it.
class ExclusiveAppendFile {
  public:
    ExclusiveAppendFile() = default;
    ~ExclusiveAppendFile() { Close(); }
    ExclusiveAppendFile(const ExclusiveAppendFile&) = delete;
    ExclusiveAppendFile& operator=(const ExclusiveAppendFile&) = delete;

    // Opens (creating if needed) `path` for appending. False on failure or
    // when another writer holds the file.
    bool Open(const std::string& path);
    // Appends `size` bytes; returns how many were taken (on Win32 into the
    // stream's buffer, so a full disk may show only at Close).
    std::size_t Write(const char* data, std::size_t size);
    // Closes the file; false when what was written did not all reach it.
    bool Close();
    bool IsOpen() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;  // FILE* on Win32, a heap-held descriptor on POSIX
};

}  // namespace platform
