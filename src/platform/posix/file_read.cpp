// Reading files on POSIX.
#include "platform/file_read.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {
namespace {

// Both forms of strerror_r: the GNU one returns the text, the XSI one fills buf.
[[maybe_unused]] const char* ErrorText(int result, const char* buf) {
    return result == 0 ? buf : "";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) {
    return result;
}

constexpr std::size_t kMessageLimit = 100;

}  // namespace

std::FILE* OpenFileForReading(const char* path) {
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    struct stat info;
    if (fstat(fileno(stream), &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        std::fclose(stream);
        errno = error;
        return nullptr;
    }
    return stream;
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
    const char* text = ErrorText(strerror_r(code, buf, sizeof buf), buf);
    const std::size_t length = strlen(text);
    return length < kMessageLimit ? std::string(text, length) : std::string();
}

}  // namespace platform
