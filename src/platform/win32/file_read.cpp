// Reading files on Windows: the C runtime for the stream, the system for the
// error codes and their texts.
#include "platform/file_read.h"

#include <windows.h>

#include <io.h>

namespace platform {
namespace {

// FormatMessageA's buffer: longer texts are not returned.
constexpr DWORD kMessageLimit = 100;

}  // namespace

std::FILE* OpenFileForReading(const char* path) {
    // "N": a handle no child process inherits (a command started while the
    // file is open must not keep it).
    std::FILE* stream = std::fopen(path, "rbN");
    if (stream == nullptr) {
        return nullptr;
    }
    // Only files on disk are read: a device or a pipe could block or never end.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(stream);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return stream;
}

int32_t FileStreamSize(std::FILE* stream) {
    if (_fseeki64(stream, 0, SEEK_END) != 0) {
        return -1;
    }
    const long long size = _ftelli64(stream);
    if (size < 0 || _fseeki64(stream, 0, SEEK_SET) != 0) {
        return -1;
    }
    if (size > 0x7FFFFFFF) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return -1;
    }
    return static_cast<int32_t>(size);
}

int LastErrorCode() {
    return static_cast<int>(GetLastError());
}

void ClearLastErrorCode() {
    SetLastError(0);
}

std::string SystemErrorText(int code) {
    char buf[kMessageLimit];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, buf, kMessageLimit, nullptr);
    return std::string(buf, length);
}

}  // namespace platform
