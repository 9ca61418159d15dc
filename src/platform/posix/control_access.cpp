#include "control_access.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {
namespace control {

namespace {
// A buffer for the reentrant user and group lookups, grown while the system
// asks for more.
constexpr std::size_t kLookupStartBytes = 1024;
constexpr std::size_t kLookupMaxBytes = 1 << 20;

bool FitsAddress(const std::string& path) {
    return !path.empty() && path.size() < sizeof(sockaddr_un::sun_path);
}

// Runs one of the reentrant user or group lookups, `lookup(room, size,
// &found)`, with a buffer grown while the system asks for more. True when
// an entry was found; its strings are in `buffer`.
template <typename Entry, typename Lookup>
bool LookUp(std::vector<char>* buffer, Lookup lookup) {
    for (std::size_t size = kLookupStartBytes; size <= kLookupMaxBytes; size *= 2) {
        buffer->resize(size);
        Entry* found = nullptr;
        const int error = lookup(buffer->data(), buffer->size(), &found);
        if (error != ERANGE) {
            return error == 0 && found != nullptr;
        }
    }
    return false;
}

// The passwd entry of `uid` into `entry`, its strings in `buffer`.
bool FindUser(uid_t uid, passwd* entry, std::vector<char>* buffer) {
    return LookUp<passwd>(buffer, [&](char* room, std::size_t size, passwd** found) {
        return getpwuid_r(uid, entry, room, size, found);
    });
}

// Whether the user `name`, whose own group is `primary`, belongs to `group`
// by the group database (supplementary groups included).
bool UserInGroup(const char* name, gid_t primary, gid_t group) {
    if (primary == group) {
        return true;
    }
    std::vector<gid_t> groups(32);
    for (int attempt = 0; attempt < 8; ++attempt) {
        int count = static_cast<int>(groups.size());
        if (getgrouplist(name, primary, groups.data(), &count) >= 0) {
            for (int i = 0; i < count; ++i) {
                if (groups[static_cast<std::size_t>(i)] == group) {
                    return true;
                }
            }
            return false;
        }
        // Too small: `count` now holds the number needed.
        groups.resize(static_cast<std::size_t>(count) + 32);
    }
    return false;
}

std::string UserName(uid_t uid) {
    passwd entry{};
    std::vector<char> buffer;
    return FindUser(uid, &entry, &buffer) ? entry.pw_name : std::to_string(uid);
}
}  // namespace

SocketPlace::~SocketPlace() {
    if (folder >= 0) {
        close(folder);
    }
}

int Locate(const std::string& path, SocketPlace* place) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    place->name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (place->name.empty()) {
        return EINVAL;
    }
    place->folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (place->folder < 0) {
        return errno;
    }
    std::string target = path;
    if (!FitsAddress(target)) {
        // The socket's own name is looked up in the folder already open, so
        // the length of the folder's path no longer counts.
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(place->folder);
        struct stat info {};
        target = byDescriptor + "/" + place->name;
        if (!FitsAddress(target) || stat(byDescriptor.c_str(), &info) != 0) {
            return ENAMETOOLONG;
        }
    }
    place->address = sockaddr_un{};
    place->address.sun_family = AF_UNIX;
    std::memcpy(place->address.sun_path, target.c_str(), target.size() + 1);
    place->addressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + target.size() + 1);
    return 0;
}

bool FindGroup(const std::string& name, gid_t* id) {
    group entry{};
    std::vector<char> buffer;
    if (!LookUp<group>(&buffer, [&](char* room, std::size_t size, group** found) {
            return getgrnam_r(name.c_str(), &entry, room, size, found);
        })) {
        return false;
    }
    *id = entry.gr_gid;
    return true;
}

std::string GroupName(gid_t id) {
    group entry{};
    std::vector<char> buffer;
    return LookUp<group>(&buffer,
                         [&](char* room, std::size_t size, group** found) {
                             return getgrgid_r(id, &entry, room, size, found);
                         })
               ? entry.gr_name
               : std::to_string(id);
}

CallerIdentity PeerIdentity(int fd, bool hasGroup, gid_t group) {
    CallerIdentity caller;
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials)) {
        return caller;
    }
    caller.known = true;
    caller.processId = credentials.pid;
    caller.userId = credentials.uid;
    caller.groupId = credentials.gid;
    caller.isSystem = credentials.uid == 0;
    caller.isServerUser = credentials.uid == geteuid();
    passwd entry{};
    std::vector<char> buffer;
    if (FindUser(credentials.uid, &entry, &buffer)) {
        caller.user = entry.pw_name;
        caller.inGroup = hasGroup && UserInGroup(entry.pw_name, entry.pw_gid, group);
    } else {
        // A user the database does not know has no groups to go by.
        caller.user = std::to_string(credentials.uid);
    }
    return caller;
}

std::string AccessRule(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return "only root or members of the channel's group may use it";
    }
    if ((info.st_mode & S_IRWXG) != 0) {
        return "only root or members of group " + GroupName(info.st_gid) + " may use it";
    }
    if (info.st_uid == 0) {
        return "only root may use it";
    }
    return "only root or the user " + UserName(info.st_uid) + " may use it";
}

}  // namespace control
}  // namespace platform
