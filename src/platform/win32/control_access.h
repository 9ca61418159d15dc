// What the control channel's server and client share on Win32: the pipe's
// security descriptor, the pipe client's identity, and the rule in words.
#pragma once

#include <windows.h>

#include <string>

#include "platform/control_channel.h"

namespace platform {
namespace control {

// The descriptor of the pipe in SDDL: full access for SYSTEM and the local
// Administrators and, when `serverUser`, the user this process runs as;
// nothing inherited, nothing for anyone else. Empty when this process's
// user cannot be read.
std::string PipeDescriptor(bool serverUser);

// The discretionary ACL of `pipe` in SDDL; empty when it cannot be read.
std::string PipeAccessText(HANDLE pipe);

// Who the client of `pipe` is, from its token; the pipe must have been read
// from (the system hands out the client's token only then). Unknown when
// the client allowed no identification. The process id is taken either way.
CallerIdentity PipeClientIdentity(HANDLE pipe);

// The client's process id alone, for a client that has sent nothing yet.
int64_t PipeClientProcessId(HANDLE pipe);

// Who may connect to `channel`, in words, for an operator who may not.
std::string PipeAccessRule(const std::string& channel);

}  // namespace control
}  // namespace platform
