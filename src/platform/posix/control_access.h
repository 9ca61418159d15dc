// What the control channel's server and client share on POSIX: where the
// socket file lies and how to reach it by an address, and who the users and
// groups are.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <string>

#include "platform/control_channel.h"

namespace platform {
namespace control {

// A socket file's place: its folder held open by descriptor, its name in
// that folder, and the address that reaches it.
struct SocketPlace {
    SocketPlace() = default;
    ~SocketPlace();
    SocketPlace(const SocketPlace&) = delete;
    SocketPlace& operator=(const SocketPlace&) = delete;

    int folder = -1;
    std::string name;
    sockaddr_un address{};
    socklen_t addressLength = 0;
};

// Opens the folder of `path` and works out the address of `path`: the path
// itself when it fits a socket address, else the name under the folder's
// descriptor (/proc/self/fd/N/name), which does not depend on the folder's
// length. 0, or the errno: ENAMETOOLONG when neither fits or /proc is not
// there, EINVAL for a path that names no file (it ends in a slash).
int Locate(const std::string& path, SocketPlace* place);

// The group of `name`. False when there is none.
bool FindGroup(const std::string& name, gid_t* group);

// The name of `group`, or its number in digits when it has none.
std::string GroupName(gid_t group);

// Who is at the other end of the connected socket `fd` (its credentials as
// they were at the connect). `group` counts for inGroup when `hasGroup`.
CallerIdentity PeerIdentity(int fd, bool hasGroup, gid_t group);

// Who may connect to the socket file `path`, in words, for an operator who
// may not: "only root or members of group zelk may use it".
std::string AccessRule(const std::string& path);

}  // namespace control
}  // namespace platform
