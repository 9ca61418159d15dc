// Reading files on Windows: the C runtime for the stream, the system for the
// error codes and their texts.
#include "platform/file_read.h"

#include <windows.h>

#include <fcntl.h>
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

std::FILE* OpenRegularFileForReading(const char* path) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then
    // refused; the handle is not inherited (no security attributes).
    const HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        _close(fd);  // closes the handle too
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
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
