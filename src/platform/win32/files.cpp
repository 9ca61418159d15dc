#include "platform/files.h"

#include <windows.h>

#include <direct.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>

namespace platform {

bool MakeFolder(const std::string& path) {
    return _mkdir(path.c_str()) == 0;
}

bool PathExists(const std::string& path) {
    return _access(path.c_str(), 0) == 0;
}

bool RemoveFile(const std::string& path) {
    return remove(path.c_str()) == 0;
}

bool WriteFileReplacing(const std::string& path, const std::string& tempPath,
                        const std::string& content, int32_t* error) {
    // Binary, so that line ends stay "\n"; "N": never inherited.
    FILE* file = fopen(tempPath.c_str(), "wbN");
    if (file == nullptr) {
        *error = static_cast<int32_t>(GetLastError());
        return false;
    }
    const bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
    const DWORD writeError = GetLastError();
    if (fclose(file) != 0 || !written) {
        *error = static_cast<int32_t>(writeError != 0 ? writeError : ERROR_WRITE_FAULT);
        remove(tempPath.c_str());
        return false;
    }
    // A reader that has the old file open without sharing its deletion
    // (zelkctl, a collector) holds the rename up for a moment; wait it out.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(tempPath.c_str(), path.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            break;
        }
        const DWORD moveError = GetLastError();
        if (attempt == 9 ||
            (moveError != ERROR_ACCESS_DENIED && moveError != ERROR_SHARING_VIOLATION)) {
            *error = static_cast<int32_t>(moveError);
            remove(tempPath.c_str());
            return false;
        }
        Sleep(20);
    }
    return true;
}

bool AppendToFile(const std::string& path, const std::string& content, int32_t* error) {
    // Readers may hold the file; a handle without inheritance.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = static_cast<int32_t>(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool whole = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                           nullptr) &&
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

void ExclusiveAppendFile::Close() {
    if (handle_ != nullptr) {
        fclose(static_cast<FILE*>(handle_));
        handle_ = nullptr;
    }
}

}  // namespace platform
