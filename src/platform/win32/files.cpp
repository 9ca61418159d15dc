#include "platform/files.h"

#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform/file_read.h"

namespace platform {

bool MakeFolder(const std::string& path) {
    return _mkdir(path.c_str()) == 0;
}

bool PathExists(const std::string& path) {
    return _access(path.c_str(), 0) == 0;
}

bool RegularFileBytes(const std::string& path, uint64_t* bytes) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    *bytes = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

bool AvailableBytes(const std::string& folder, uint64_t* bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) {
        return false;
    }
    *bytes = available.QuadPart;
    return true;
}

bool RemoveFile(const std::string& path) {
    return remove(path.c_str()) == 0;
}

NewFileResult WriteNewFile(const std::string& path, const std::string& content, int32_t* error) {
    // CREATE_NEW refuses every existing name; with FILE_FLAG_OPEN_REPARSE_POINT
    // a link of that name is not followed either. The handle is not inherited.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *error = static_cast<int32_t>(code);
        return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? NewFileResult::kNameTaken
                                                                         : NewFileResult::kFailed;
    }
    // Pieces of at most 1 MiB, far within what one WriteFile call takes.
    constexpr std::size_t kPieceBytes = 1u << 20;
    std::size_t written = 0;
    DWORD code = ERROR_SUCCESS;
    while (written < content.size() && code == ERROR_SUCCESS) {
        const std::size_t left = content.size() - written;
        const DWORD piece = static_cast<DWORD>(left < kPieceBytes ? left : kPieceBytes);
        DWORD done = 0;
        if (!WriteFile(file, content.data() + written, piece, &done, nullptr) || done == 0) {
            code = GetLastError();
            code = code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT;
        }
        written += done;
    }
    if (!CloseHandle(file) && code == ERROR_SUCCESS) {
        code = GetLastError();
    }
    if (code != ERROR_SUCCESS) {
        *error = static_cast<int32_t>(code);
        DeleteFileA(path.c_str());
        return NewFileResult::kFailed;
    }
    return NewFileResult::kWritten;
}

bool RenameOver(const std::string& from, const std::string& to, int32_t* error) {
    // A reader that has the old file open without sharing its deletion
    // (zelkctl, a collector) holds the rename up for a moment; wait it out.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD code = GetLastError();
        if (attempt == 9 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)) {
            *error = static_cast<int32_t>(code);
            return false;
        }
        Sleep(20);
    }
}

namespace {

// Opens `path` with `access` and `disposition`, keeping it only when it is
// a plain file on disk: a link (a reparse point, never followed) or a
// device is refused with ERROR_NOT_SUPPORTED. Readers may hold the file; the
// handle is not inherited.
HANDLE OpenPlainFile(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE file =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

// Declared in platform/file_read.h; here beside OpenPlainFile.
std::FILE* OpenRegularFileForReading(const char* path) {
    const HANDLE file = OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
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

bool AppendToFile(const std::string& path, const std::string& content, int32_t* error) {
    HANDLE file = OpenPlainFile(path, FILE_APPEND_DATA, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
        *error = static_cast<int32_t>(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool whole =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    if (!whole) {
        const DWORD code = GetLastError();
        *error = static_cast<int32_t>(code != 0 ? code : ERROR_WRITE_FAULT);
    }
    if (!CloseHandle(file) && whole) {
        *error = static_cast<int32_t>(GetLastError());
        whole = false;
    }
    return whole;
}

bool EndsWithLineEnd(const std::string& path) {
    HANDLE file = OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return true;
    }
    char last = '\n';
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        LARGE_INTEGER at;
        at.QuadPart = size.QuadPart - 1;
        DWORD read = 0;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
            !ReadFile(file, &last, 1, &read, nullptr) || read != 1) {
            last = '\n';
        }
    }
    CloseHandle(file);
    return last == '\n';
}

bool ExclusiveAppendFile::Open(const std::string& path) {
    Close();
    // Text mode, so that each "\n" is written as CR LF; deny every other
    // open while this one lasts; "N": not inherited, or a child started
    // during the write would hold the day's file and lock every later writer out.
    FILE* file = _fsopen(path.c_str(), "atN", _SH_DENYRW);
    handle_ = file;
    return file != nullptr;
}

std::size_t ExclusiveAppendFile::Write(const char* data, std::size_t size) {
    if (handle_ == nullptr) {
        return 0;
    }
    return fwrite(data, 1, size, static_cast<FILE*>(handle_));
}

bool ExclusiveAppendFile::Close() {
    if (handle_ == nullptr) {
        return true;
    }
    // The stream's buffer is written out here: a full disk fails this, not
    // the Write before it. The flush is asked on its own, as not every C
    // runtime's fclose reports a flush that failed (Wine's does not).
    FILE* file = static_cast<FILE*>(handle_);
    const bool flushed = fflush(file) == 0;
    const bool closed = fclose(file) == 0;
    handle_ = nullptr;
    return flushed && closed;
}

}  // namespace platform
