#include "platform/folder_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace platform {

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20)) {
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string folder = buffer.data();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder + path;
}

bool FolderExists(const std::string& folder) {
    struct stat info;
    return !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FolderWritable(const std::string& folder) {
    if (!FolderExists(folder)) {
        return false;
    }
    static std::atomic<unsigned> serial{0};
    const std::string base = folder.back() == '/' ? folder : folder + '/';
    // A name taken by someone else is passed over; any other failure is the answer.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe =
            base + ".zelk-write-probe-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
        const int fd =
            open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first;
    struct stat second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string ServiceCurrentFolder(const std::string& daemonFolder, std::string* why) {
    if (why != nullptr) {
        *why = "the WorkingDirectory the systemd unit sets";
    }
    return daemonFolder;
}

}  // namespace platform
