// Reading files on POSIX.
#include "platform/file_read.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform {
namespace {

// Both forms of strerror_r: the GNU one returns the text, the XSI one fills buf.
[[maybe_unused]] const char* StrerrorText(int result, const char* buf) {
    return result == 0 ? buf : "";
}
[[maybe_unused]] const char* StrerrorText(const char* result, const char*) {
    return result;
}

constexpr std::size_t kMessageLimit = 100;

}  // namespace

namespace {

// Opened without blocking, so that a FIFO with no writer cannot hold the
// caller, and read only when it is a regular file: a FIFO or a device (a
// terminal, /dev/zero) could block or never end.
std::FILE* OpenForReading(const char* path, int flags) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    } else {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            error = errno;
        }
    }
    std::FILE* stream = error == 0 ? fdopen(fd, "rb") : nullptr;
    if (stream == nullptr) {
        error = error != 0 ? error : errno;
        close(fd);
        errno = error;
    }
    return stream;
}

}  // namespace

std::FILE* OpenFileForReading(const char* path) {
    return OpenForReading(path, 0);
}

std::FILE* OpenRegularFileForReading(const char* path) {
    return OpenForReading(path, O_NOFOLLOW);
}

int32_t FileStreamSize(std::FILE* stream) {
    if (fseeko(stream, 0, SEEK_END) != 0) {
        return -1;
    }
    const off_t size = ftello(stream);
    if (size < 0 || fseeko(stream, 0, SEEK_SET) != 0) {
        return -1;
    }
    if (size > 0x7FFFFFFF) {
        errno = EFBIG;
        return -1;
    }
    return static_cast<int32_t>(size);
}

int LastErrorCode() {
    return errno;
}

void ClearLastErrorCode() {
    errno = 0;
}

std::string SystemErrorText(int code) {
    char buf[256];
    buf[0] = '\0';
    const char* text = StrerrorText(strerror_r(code, buf, sizeof buf), buf);
    const std::size_t length = strlen(text);
    return length < kMessageLimit ? std::string(text, length) : std::string();
}

}  // namespace platform
