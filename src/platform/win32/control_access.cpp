#include "control_access.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdlib>
#include <vector>

namespace platform {
namespace control {

namespace {
// SYSTEM and the local Administrators, full access; "P": nothing inherited.
constexpr const char* kAdministratorsOnly = "D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// The user SID of `token` into `buffer`; null when it cannot be read.
PSID TokenUser(HANDLE token, std::vector<BYTE>* buffer) {
    DWORD size = 0;
    GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    buffer->resize(size);
    if (!GetTokenInformation(token, ::TokenUser, buffer->data(), size, &size)) {
        return nullptr;
    }
    return reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
}

// The user SID of this process into `buffer`; null when it cannot be read.
PSID OwnUser(std::vector<BYTE>* buffer) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    PSID sid = TokenUser(token, buffer);
    CloseHandle(token);
    return sid;
}

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) {
        return "";
    }
    std::string copy = text;
    LocalFree(text);
    return copy;
}

// DOMAIN\user for `sid`, or the SID's text when it has no account name.
std::string AccountName(PSID sid) {
    char name[256];
    char domain[256];
    DWORD nameSize = sizeof(name);
    DWORD domainSize = sizeof(domain);
    SID_NAME_USE use;
    if (!LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        return SidText(sid);
    }
    return domainSize == 0 ? std::string(name) : std::string(domain) + "\\" + name;
}

// Whether `token` (an impersonation token) holds the local Administrators
// group in force: a deny-only membership (an administrator's unelevated
// token) does not count.
bool InAdministrators(HANDLE token) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(token, sid, &member) && member;
}

// The identity `token` tells.
void FromToken(HANDLE token, CallerIdentity* caller) {
    std::vector<BYTE> userBuffer;
    PSID user = TokenUser(token, &userBuffer);
    if (user == nullptr) {
        return;
    }
    std::vector<BYTE> ownBuffer;
    PSID own = OwnUser(&ownBuffer);
    caller->known = true;
    caller->user = AccountName(user);
    caller->isSystem = IsWellKnownSid(user, WinLocalSystemSid) != FALSE;
    caller->inGroup = InAdministrators(token);
    caller->isServerUser = own != nullptr && EqualSid(user, own);
}
}  // namespace

std::string PipeDescriptor(bool serverUser) {
    if (!serverUser) {
        return kAdministratorsOnly;
    }
    std::vector<BYTE> buffer;
    PSID own = OwnUser(&buffer);
    const std::string sid = own != nullptr ? SidText(own) : "";
    return sid.empty() ? "" : std::string(kAdministratorsOnly) + "(A;;GA;;;" + sid + ")";
}

std::string PipeAccessText(HANDLE pipe) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                        nullptr, &descriptor) != ERROR_SUCCESS) {
        return "";
    }
    char* text = nullptr;
    std::string copy;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        copy = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return copy;
}

int64_t PipeClientProcessId(HANDLE pipe) {
    ULONG id = 0;
    return GetNamedPipeClientProcessId(pipe, &id) ? static_cast<int64_t>(id) : -1;
}

CallerIdentity PipeClientIdentity(HANDLE pipe) {
    CallerIdentity caller;
    caller.processId = PipeClientProcessId(pipe);
    if (!ImpersonateNamedPipeClient(pipe)) {
        return caller;
    }
    HANDLE token = nullptr;
    // Opened with the daemon's own rights, not the client's.
    const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (!RevertToSelf()) {
        // Going on would serve everything after as the client.
        std::abort();
    }
    if (opened) {
        FromToken(token, &caller);
        CloseHandle(token);
    }
    return caller;
}

std::string PipeAccessRule(const std::string& channel) {
    return channel == ServiceControlChannel()
               ? "only administrators may use it (run zelkctl as administrator)"
               : "only administrators and the user who runs the daemon may use it";
}

}  // namespace control
}  // namespace platform
