#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

bool PathExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool RegularFileBytes(const std::string& path, uint64_t* bytes) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    *bytes = static_cast<uint64_t>(info.st_size);
    return true;
}

bool AvailableBytes(const std::string& folder, uint64_t* bytes) {
    struct statvfs info;
    if (statvfs(folder.c_str(), &info) != 0) {
        return false;
    }
    *bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

NewFileResult WriteNewFile(const std::string& path, const std::string& content, int32_t* error) {
    // O_EXCL refuses every existing name, a link included, without following it.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = errno;
        return errno == EEXIST || errno == ELOOP ? NewFileResult::kNameTaken
                                                 : NewFileResult::kFailed;
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = n < 0 ? errno : EIO;
            close(fd);
            unlink(path.c_str());
            return NewFileResult::kFailed;
        }
        written += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        *error = errno;
        unlink(path.c_str());
        return NewFileResult::kFailed;
    }
    return NewFileResult::kWritten;
}

bool RenameOver(const std::string& from, const std::string& to, int32_t* error) {
    if (rename(from.c_str(), to.c_str()) != 0) {
        *error = errno;
        return false;
    }
    return true;
}

namespace {

// Opens `path` with `flags` without ever blocking, and keeps it only when it
// is a regular file: a FIFO or a device of the name, which anyone who can
// write to the folder may plant, would hold the writer (a FIFO's open waits
// for a reader) or swallow the lines. Returns the descriptor in blocking
// mode, or -1 with errno set.
int OpenRegular(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    int failure = 0;
    if (fstat(fd, &info) != 0) {
        failure = errno;
    } else if (!S_ISREG(info.st_mode)) {
        failure = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    } else {
        const int current = fcntl(fd, F_GETFL);
        if (current < 0 || fcntl(fd, F_SETFL, current & ~O_NONBLOCK) != 0) {
            failure = errno;
        }
    }
    if (failure != 0) {
        close(fd);
        errno = failure;
        return -1;
    }
    return fd;
}

}  // namespace

bool AppendToFile(const std::string& path, const std::string& content, int32_t* error) {
    const int fd = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    ssize_t n;
    do {
        n = write(fd, content.data(), content.size());
    } while (n < 0 && errno == EINTR);
    bool whole = n == static_cast<ssize_t>(content.size());
    if (!whole) {
        *error = n < 0 ? errno : ENOSPC;
    }
    if (close(fd) != 0 && whole) {
        *error = errno;
        whole = false;
    }
    return whole;
}

bool EndsWithLineEnd(const std::string& path) {
    const int fd = OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        return true;
    }
    char last = '\n';
    const off_t size = lseek(fd, 0, SEEK_END);
    if (size > 0 && pread(fd, &last, 1, size - 1) != 1) {
        last = '\n';
    }
    close(fd);
    return last == '\n';
}

namespace {
struct Descriptor {
    int fd;
};
}  // namespace

bool ExclusiveAppendFile::Open(const std::string& path) {
    Close();
    int fd = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0) {
        return false;
    }
    // The lock is per open file description, so it excludes other opens in
    // this process as well as other processes, as the Win32 share mode does.
    // A child forked meanwhile (a launch, a command) shares the description
    // until its exec closes it: a hold of a moment, waited out; a writer
    // that holds the file for longer refuses the open within kLockTries ms.
    constexpr int kLockTries = 20;
    int tries = 1;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR && (errno != EWOULDBLOCK || tries == kLockTries)) {
            close(fd);
            return false;
        }
        ++tries;
        const timespec pause{0, 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    handle_ = new Descriptor{fd};
    return true;
}

std::size_t ExclusiveAppendFile::Write(const char* data, std::size_t size) {
    if (handle_ == nullptr) {
        return 0;
    }
    int fd = static_cast<Descriptor*>(handle_)->fd;
    std::size_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    return written;
}

bool ExclusiveAppendFile::Close() {
    if (handle_ == nullptr) {
        return true;
    }
    auto* descriptor = static_cast<Descriptor*>(handle_);
    const bool closed = close(descriptor->fd) == 0;  // also releases the lock
    delete descriptor;
    handle_ = nullptr;
    return closed;
}

}  // namespace platform
