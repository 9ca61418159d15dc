#include "platform/folder_probe.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace platform {

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::vector<char> buffer(needed + 1);
    const DWORD length =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return path;
    }
    return std::string(buffer.data(), length);
}

bool FolderExists(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderWritable(const std::string& folder) {
    if (!FolderExists(folder)) {
        return false;
    }
    static std::atomic<unsigned> serial{0};
    const char last = folder.back();
    const std::string base = last == '\\' || last == '/' ? folder : folder + '\\';
    // A name taken by someone else is passed over; any other failure is the answer.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe = base + ".zelk-write-probe-" +
                                  std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(serial++);
        // Removed by the system when the handle closes.
        const HANDLE file =
            CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

namespace {

// The volume and index that identify an open file; false when it cannot be opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    // No access asked, so that a file others hold open is still looked at;
    // backup semantics open folders too.
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return FileIdentity(a, &first) && FileIdentity(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::string ServiceCurrentFolder(const std::string& daemonFolder, std::string* why) {
    if (why != nullptr) {
        *why = "the system folder, where Windows starts services";
    }
    char folder[MAX_PATH + 1] = "";
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return daemonFolder;  // the system does not tell: no better guess
    }
    std::string path(folder, length);
    return path.back() == '\\' ? path : path + '\\';
}

}  // namespace platform
