#include "platform/process_dump.h"

#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/program_search.h"
#include "platform/system.h"
#include "posix/child_process.h"

extern char** environ;

namespace platform {

namespace {

// What gcore said, at most this much of its end: the error that ended it
// comes last.
constexpr std::size_t kOutputKeptBytes = 32 * 1024;

// A folder only this process's user can enter, made beside the dump so that
// gcore's file, named by gcore, can be moved to the caller's name in one
// step. Removed with what is left in it.
class PrivateFolder {
  public:
    explicit PrivateFolder(const std::string& near) {
        std::string pattern = (near.empty() ? std::string("./") : near) + ".zelk-dump-XXXXXX";
        if (mkdtemp(&pattern[0]) != nullptr) {  // mode 0700
            path_ = pattern;
        } else {
            error_ = errno;
        }
    }
    ~PrivateFolder() {
        if (path_.empty()) {
            return;
        }
        for (const std::string& file : files_) {
            unlink(file.c_str());
        }
        rmdir(path_.c_str());
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& path() const { return path_; }
    int error() const { return error_; }  // why it was not made, when path() is empty
    // Names a file that may appear in the folder, to be removed with it.
    std::string File(const std::string& name) {
        files_.push_back(path_ + "/" + name);
        return files_.back();
    }

  private:
    std::string path_;
    int error_ = 0;
    std::vector<std::string> files_;
};

// The child between fork and exec (only async-signal-safe calls): a process
// group of its own, to be killed as one with gdb past the time limit, output
// into `output`, no other descriptor of this process, files of at most
// `maxBytes` (a write past it fails with EFBIG instead of a signal).
[[noreturn]] void ExecGcore(char* const* argv, char* const* envp, int output, int descriptorLimit,
                            uint64_t maxBytes) {
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(output, 1);
    dup2(output, 2);
    if (close_range(3, ~0U, 0) != 0) {
        for (int fd = 3; fd < descriptorLimit; ++fd) {
            close(fd);
        }
    }
    RestoreDefaultSignals();
    if (maxBytes != kUnboundedDumpBytes) {
        const rlimit size{static_cast<rlim_t>(maxBytes), static_cast<rlim_t>(maxBytes)};
        setrlimit(RLIMIT_FSIZE, &size);
        signal(SIGXFSZ, SIG_IGN);
    }
    execve(argv[0], argv, envp);
    _exit(126);
}

// This process's environment with the C locale, so that gdb reports the
// system's errors in the words strerrordesc_np knows.
std::vector<std::string> CLocaleEnvironment() {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "LC_ALL=", 7) != 0 &&
            std::strncmp(*variable, "LANGUAGE=", 9) != 0) {
            environment.push_back(*variable);
        }
    }
    environment.push_back("LC_ALL=C");
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) {
        pointers.push_back(&word[0]);
    }
    pointers.push_back(nullptr);
    return pointers;
}

struct ToolRun {
    bool finished = false;  // false: killed at the deadline
    int status = 0;
    std::string output;
};

// Collects a killed child: at once as a rule, but a process stuck in the
// kernel (a write to a hung network file system) dies only when the kernel
// lets it, so after a while a thread of its own waits for it instead.
void ReapAfterKill(pid_t child) {
    for (int tries = 0; tries < 1000; ++tries) {
        const pid_t done = waitpid(child, nullptr, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            return;
        }
        SleepMs(5);
    }
    try {
        std::thread([child] {
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread to spare: the child stays a zombie until this process ends.
    }
}

// Reads the child's output until it closes, then waits for the child, both
// until `deadlineMs` (MonotonicMs); past it the child's process group is
// killed.
void WaitForTool(pid_t child, int output, int64_t deadlineMs, ToolRun* run) {
    char buffer[4096];
    bool open = true;
    while (open && MonotonicMs() < deadlineMs) {
        pollfd wait{output, POLLIN, 0};
        const int64_t left = deadlineMs - MonotonicMs();
        if (poll(&wait, 1, static_cast<int>(left > 0 ? left : 0)) <= 0) {
            continue;
        }
        const ssize_t got = read(output, buffer, sizeof(buffer));
        if (got > 0) {
            run->output.append(buffer, static_cast<std::size_t>(got));
            if (run->output.size() > kOutputKeptBytes) {
                run->output.erase(0, run->output.size() - kOutputKeptBytes);
            }
        } else if (got == 0 || errno != EINTR) {
            open = false;
        }
    }
    for (;;) {
        const pid_t done = waitpid(child, &run->status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            run->finished = done == child;
            return;
        }
        if (MonotonicMs() >= deadlineMs) {
            kill(-child, SIGKILL);
            ReapAfterKill(child);
            return;
        }
        SleepMs(5);
    }
}

// Runs gcore on `processId` with the core's name prefix `prefix`, until
// `deadlineMs`. False with `*error` when it could not be started.
bool RunGcore(const std::string& gcore, uint32_t processId, const std::string& prefix,
              DumpKind kind, int64_t deadlineMs, uint64_t maxBytes, ToolRun* run, int32_t* error) {
    std::vector<std::string> words = {gcore};
    if (kind == DumpKind::kFull) {
        words.push_back("-a");
    }
    words.insert(words.end(), {"-o", prefix, std::to_string(processId)});
    std::vector<char*> argv = Pointers(words);
    std::vector<std::string> environment = CLocaleEnvironment();
    std::vector<char*> envp = Pointers(environment);
    const int descriptorLimit = DescriptorLimit();
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        *error = errno;
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        ExecGcore(argv.data(), envp.data(), pipeEnds[1], descriptorLimit, maxBytes);
    }
    const int forkError = errno;
    if (child > 0) {
        // Also here, so that the group exists before the first kill of it,
        // whichever of the two runs first.
        setpgid(child, child);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        *error = forkError;
        return false;
    }
    WaitForTool(child, pipeEnds[0], deadlineMs, run);
    close(pipeEnds[0]);
    return true;
}

// The system error gdb named first in its output, as it words errors in the
// C locale ("ptrace: Operation not permitted.", "Failed to write corefile
// contents (No space left on device)."); EIO when it named none.
int32_t ErrorNamedIn(const std::string& output) {
    std::size_t first = std::string::npos;
    int32_t code = EIO;
    for (int candidate = 1; candidate < 134; ++candidate) {
        const char* text = strerrordesc_np(candidate);
        if (text == nullptr) {
            continue;
        }
        for (const std::string& form : {std::string(": ") + text, "(" + std::string(text) + ")"}) {
            const std::size_t at = output.find(form);
            if (at < first) {
                first = at;
                code = candidate;
            }
        }
    }
    return code;
}

bool ReadAt(int fd, void* into, std::size_t bytes, off_t offset) {
    return pread(fd, into, bytes, offset) == static_cast<ssize_t>(bytes);
}

// True when `fd` holds a whole ELF core file: every segment its program
// headers name lies within the file, so a write cut short by a full disk
// or a killed gdb shows.
bool IsWholeCore(int fd, off_t size) {
    Elf64_Ehdr header;
    if (!ReadAt(fd, &header, sizeof(header), 0) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_type != ET_CORE ||
        header.e_phentsize != sizeof(Elf64_Phdr)) {
        return false;
    }
    uint64_t count = header.e_phnum;
    if (count == PN_XNUM) {  // more segments than the field holds: the count is in section 0
        Elf64_Shdr first;
        if (!ReadAt(fd, &first, sizeof(first), static_cast<off_t>(header.e_shoff))) {
            return false;
        }
        count = first.sh_info;
    }
    std::vector<Elf64_Phdr> segments(count);
    if (count == 0 || !ReadAt(fd, segments.data(), count * sizeof(Elf64_Phdr),
                              static_cast<off_t>(header.e_phoff))) {
        return false;
    }
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_offset + segment.p_filesz > static_cast<uint64_t>(size)) {
            return false;
        }
    }
    return true;
}

// Checks gcore's file, makes it its owner's alone and moves it to `path`
// without replacing anything there. Fills `outcome`.
void PlaceCore(const std::string& core, const std::string& path, const std::string& gcoreOutput,
               DumpOutcome* outcome) {
    const int fd = open(core.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    const bool whole = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       IsWholeCore(fd, info.st_size) && fchmod(fd, 0600) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!whole) {
        outcome->result = DumpResult::kFailed;
        outcome->error = ErrorNamedIn(gcoreOutput);
        return;
    }
    // renameat2 refuses an existing name, a link included, without following
    // it; where the file system cannot do that, link does the same.
    int moved = renameat2(AT_FDCWD, core.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        moved = link(core.c_str(), path.c_str());
    }
    if (moved != 0) {
        outcome->result = DumpResult::kFailed;
        outcome->error = errno;
        return;
    }
    outcome->result = DumpResult::kWritten;
    outcome->bytes = static_cast<uint64_t>(info.st_size);
}

}  // namespace

DumpOutcome WriteProcessDump(uint32_t processId, const std::string& path, DumpKind kind,
                             uint32_t timeLimitMs, uint64_t maxBytes) {
    const int64_t start = MonotonicMs();
    DumpOutcome outcome;
    const std::string gcore = FindProgram("gcore", std::string());
    struct stat existing;
    if (gcore.empty()) {
        outcome.result = DumpResult::kNotAvailable;
    } else if (lstat(path.c_str(), &existing) == 0) {
        outcome.error = EEXIST;  // known before spending the time on a dump
    } else {
        PrivateFolder folder(FolderOf(path));
        ToolRun run;
        if (folder.path().empty()) {
            outcome.error = folder.error();
        } else if (RunGcore(gcore, processId, folder.path() + "/core", kind, start + timeLimitMs,
                            maxBytes, &run, &outcome.error)) {
            const std::string core = folder.File("core." + std::to_string(processId));
            if (!run.finished) {
                kill(static_cast<pid_t>(processId), SIGCONT);
                outcome.result = DumpResult::kTimedOut;
            } else if (run.output.find("GDB binary") != std::string::npos) {
                outcome.result = DumpResult::kNotAvailable;  // gcore without its gdb
            } else if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == 126) {
                outcome.error = ENOEXEC;  // gcore could not be started
            } else {
                PlaceCore(core, path, run.output, &outcome);
                // gdb words a write cut at the size limit as a full disk:
                // what tells is a core that reached the limit.
                uint64_t partial = 0;
                if (outcome.result == DumpResult::kFailed && RegularFileBytes(core, &partial) &&
                    partial >= maxBytes) {
                    outcome.result = DumpResult::kTooLarge;
                }
            }
        }
    }
    outcome.milliseconds = static_cast<uint32_t>(MonotonicMs() - start);
    return outcome;
}

namespace {

// The GNU build id of the ELF file `fd`, in hexadecimal; empty when it has none.
std::string BuildId(int fd) {
    Elf64_Ehdr header;
    if (!ReadAt(fd, &header, sizeof(header), 0) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) ||
        header.e_phnum > 256) {
        return std::string();
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    if (!ReadAt(fd, segments.data(), segments.size() * sizeof(Elf64_Phdr),
                static_cast<off_t>(header.e_phoff))) {
        return std::string();
    }
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type != PT_NOTE || segment.p_filesz > 65536) {
            continue;
        }
        std::vector<unsigned char> notes(segment.p_filesz);
        if (!ReadAt(fd, notes.data(), notes.size(), static_cast<off_t>(segment.p_offset))) {
            continue;
        }
        // Each note: its header, the name and the description, each padded to 4 bytes.
        std::size_t at = 0;
        while (at + sizeof(Elf64_Nhdr) <= notes.size()) {
            Elf64_Nhdr note;
            std::memcpy(&note, &notes[at], sizeof(note));
            const std::size_t name = at + sizeof(note);
            const std::size_t description = name + ((note.n_namesz + 3u) & ~3u);
            if (description + note.n_descsz > notes.size()) {
                break;
            }
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(&notes[name], "GNU", 4) == 0) {
                static const char kDigits[] = "0123456789abcdef";
                std::string id;
                for (std::size_t i = 0; i < note.n_descsz; ++i) {
                    id += kDigits[notes[description + i] >> 4];
                    id += kDigits[notes[description + i] & 15];
                }
                return id;
            }
            at = description + ((note.n_descsz + 3u) & ~3u);
        }
    }
    return std::string();
}

}  // namespace

std::string ExecutableVersion(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (fd < 0) {
        return std::string();
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::string();
    }
    const std::string id = BuildId(fd);
    close(fd);
    std::tm utc{};
    char modified[32] = "";
    const time_t seconds = info.st_mtime;
    if (gmtime_r(&seconds, &utc) != nullptr) {
        strftime(modified, sizeof(modified), "%Y-%m-%dT%H:%M:%SZ", &utc);
    }
    return (id.empty() ? std::string() : "build-id " + id + ", ") + std::to_string(info.st_size) +
           " bytes, modified " + modified;
}

}  // namespace platform
