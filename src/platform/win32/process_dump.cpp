#include "platform/process_dump.h"

#include <windows.h>

#include <dbghelp.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/threads.h"

namespace platform {

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);
using SymCleanupFunction = BOOL(WINAPI*)(HANDLE);

// Process snapshots, in kernel32 from Windows 8.1 on, as the SDK's
// processsnapshot.h declares them (the toolchain's headers lack it).
using PssCaptureSnapshotFunction = DWORD(WINAPI*)(HANDLE process, DWORD flags, DWORD contextFlags,
                                                  HANDLE* snapshot);
using PssFreeSnapshotFunction = DWORD(WINAPI*)(HANDLE owner, HANDLE snapshot);
using PssQuerySnapshotFunction = DWORD(WINAPI*)(HANDLE snapshot, int informationClass, void* buffer,
                                                DWORD bufferBytes);
constexpr int kPssQueryVaCloneInformation = 1;  // answers the clone process's handle

// A clone of the address space (the process runs on once it is made), its
// threads with their registers and its handles with their names and types.
constexpr DWORD kPssCaptureFlags = 0x00000001     // PSS_CAPTURE_VA_CLONE
                                   | 0x00000004   // PSS_CAPTURE_HANDLES
                                   | 0x00000008   // PSS_CAPTURE_HANDLE_NAME_INFORMATION
                                   | 0x00000010   // PSS_CAPTURE_HANDLE_BASIC_INFORMATION
                                   | 0x00000020   // PSS_CAPTURE_HANDLE_TYPE_SPECIFIC_INFORMATION
                                   | 0x00000080   // PSS_CAPTURE_THREADS
                                   | 0x00000100   // PSS_CAPTURE_THREAD_CONTEXT
                                   | 0x00000200   // PSS_CAPTURE_THREAD_CONTEXT_EXTENDED
                                   | 0x04000000   // PSS_CREATE_BREAKAWAY_OPTIONAL
                                   | 0x20000000   // PSS_CREATE_USE_VM_ALLOCATIONS
                                   | 0x80000000;  // PSS_CREATE_RELEASE_SECTION

constexpr DWORD kAbandonWaitMs = 2000;
// How often the size of the dump being written is looked at.
constexpr DWORD kSizeWatchMs = 100;

// The dump writer and the snapshot functions, looked up once and kept loaded
// for the life of the process (an abandoned dump may still be running in
// them). dbghelp.dll is taken from the system folder only, never from the
// current or the executable's folder.
struct DumpFunctions {
    MiniDumpWriteDumpFunction write = nullptr;
    SymCleanupFunction cleanup = nullptr;
    PssCaptureSnapshotFunction capture = nullptr;
    PssFreeSnapshotFunction free = nullptr;
    PssQuerySnapshotFunction query = nullptr;
};

const DumpFunctions& Functions() {
    static const DumpFunctions functions = [] {
        DumpFunctions found;
        char folder[MAX_PATH];
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            const std::string path = std::string(folder) + "\\dbghelp.dll";
            if (HMODULE dbghelp =
                    LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
                found.write = reinterpret_cast<MiniDumpWriteDumpFunction>(
                    reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
                found.cleanup = reinterpret_cast<SymCleanupFunction>(
                    reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymCleanup")));
            }
        }
        if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
            found.capture = reinterpret_cast<PssCaptureSnapshotFunction>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "PssCaptureSnapshot")));
            found.free = reinterpret_cast<PssFreeSnapshotFunction>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "PssFreeSnapshot")));
            found.query = reinterpret_cast<PssQuerySnapshotFunction>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "PssQuerySnapshot")));
            if (found.free == nullptr || found.query == nullptr) {
                found.capture = nullptr;
            }
        }
        return found;
    }();
    return functions;
}

// dbghelp's functions are not to be called from two threads at once.
std::mutex& DbghelpLock() {
    static std::mutex lock;
    return lock;
}

// One dump, shared by the caller and the thread that writes it; whichever
// lets go last closes the handles. Until the caller keeps the file, it is
// marked for deletion, so that it goes with its last handle whatever ends
// the dump: a failure, an abandoned thread or the end of this process.
struct DumpJob {
    const DumpFunctions* functions = nullptr;
    DWORD processId = 0;
    HANDLE process = nullptr;
    HANDLE snapshot = nullptr;  // the snapshot the dump reads, or null for the live process
    HANDLE clone = nullptr;     // the snapshot's clone process (owned by the snapshot)
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string path;
    bool deleteByName = false;  // the mark for deletion could not be set
    bool keep = false;
    MINIDUMP_TYPE type = MiniDumpNormal;
    std::atomic<bool> cancel{false};
    bool written = false;  // set by the thread before it ends
    DWORD error = 0;

    ~DumpJob() {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            if (deleteByName && !keep) {
                DeleteFileA(path.c_str());
            }
        }
        if (snapshot != nullptr) {
            functions->free(GetCurrentProcess(), snapshot);
        }
        if (process != nullptr) {
            CloseHandle(process);
        }
    }
};

bool MarkForDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

BOOL CALLBACK AnswerDbghelp(PVOID parameter, PMINIDUMP_CALLBACK_INPUT input,
                            PMINIDUMP_CALLBACK_OUTPUT output) {
    const auto* job = static_cast<const DumpJob*>(parameter);
    if (input->CallbackType == IsProcessSnapshotCallback && job->snapshot != nullptr) {
        output->Status = S_FALSE;  // the handle is a snapshot, not a process
    } else if (input->CallbackType == CancelCallback) {
        output->Cancel = job->cancel.load() ? TRUE : FALSE;
        output->CheckCancel = TRUE;
    }
    return TRUE;
}

unsigned ZELK_THREAD_CALL WriteDumpThread(void* argument) {
    std::unique_ptr<std::shared_ptr<DumpJob>> held(
        static_cast<std::shared_ptr<DumpJob>*>(argument));
    DumpJob& job = **held;
    std::lock_guard<std::mutex> lock(DbghelpLock());
    if (job.cancel.load()) {
        job.error = ERROR_CANCELLED;
        return 0;
    }
    MINIDUMP_CALLBACK_INFORMATION callback{AnswerDbghelp, &job};
    const HANDLE source = job.snapshot != nullptr ? job.snapshot : job.process;
    job.written = job.functions->write(source, job.processId, job.file, job.type, nullptr, nullptr,
                                       &callback) != FALSE;
    if (!job.written) {
        // dbghelp reports an HRESULT; a Win32 code inside one is taken out.
        DWORD code = GetLastError();
        if ((code & 0xFFFF0000u) == 0x80070000u) {
            code &= 0xFFFFu;
        }
        job.error = code != 0 ? code : ERROR_GEN_FAILURE;
    }
    // A dump that failed half way may leave dbghelp holding what it read of
    // the process, the module files open among it (seen under Wine: the
    // application's executable could not be removed). Without such a
    // leftover this does nothing.
    if (job.functions->cleanup != nullptr) {
        job.functions->cleanup(source);
    }
    return 0;
}

MINIDUMP_TYPE DumpType(DumpKind kind) {
    DWORD type = MiniDumpWithHandleData | MiniDumpWithUnloadedModules | MiniDumpWithThreadInfo |
                 MiniDumpWithProcessThreadData | MiniDumpWithFullMemoryInfo |
                 MiniDumpIgnoreInaccessibleMemory;
    if (kind == DumpKind::kFull) {
        type |= MiniDumpWithFullMemory;
    }
    return static_cast<MINIDUMP_TYPE>(type);
}

// Opens the process and creates the file, and takes the snapshot where the
// system has them. False with `*error` when the dump cannot be begun.
bool PrepareJob(DumpJob* job, DWORD* error) {
    job->process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE |
                                   PROCESS_CREATE_PROCESS | PROCESS_VM_OPERATION,
                               FALSE, job->processId);
    if (job->process == nullptr) {
        *error = GetLastError();
        return false;
    }
    // CREATE_NEW refuses every existing name; with FILE_FLAG_OPEN_REPARSE_POINT
    // a link of that name is not followed either. The handle is not inherited.
    job->file =
        CreateFileA(job->path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (job->file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    job->deleteByName = !MarkForDeletion(job->file, true);
    const DumpFunctions& functions = *job->functions;
    HANDLE snapshot = nullptr;
    if (functions.capture != nullptr &&
        functions.capture(job->process, kPssCaptureFlags, CONTEXT_ALL, &snapshot) ==
            ERROR_SUCCESS) {
        job->snapshot = snapshot;
        HANDLE clone = nullptr;
        if (functions.query(snapshot, kPssQueryVaCloneInformation, &clone, sizeof(clone)) ==
            ERROR_SUCCESS) {
            job->clone = clone;
        }
    }
    return true;
}

// The memory a full dump of `process` writes at least: every committed
// region of its address space.
uint64_t CommittedBytes(HANDLE process) {
    uint64_t bytes = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr;
         VirtualQueryEx(process, at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT) {
            bytes += region.RegionSize;
        }
        if (region.RegionSize == 0) {
            break;
        }
    }
    return bytes;
}

uint64_t FileBytes(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// Keeps the finished dump: clears the mark for deletion and reads its size.
void KeepDump(DumpJob* job, uint64_t maxBytes, DumpOutcome* outcome) {
    if (FileBytes(job->file) > maxBytes) {
        outcome->result = DumpResult::kTooLarge;
        return;
    }
    LARGE_INTEGER size{};
    if (!MarkForDeletion(job->file, false) || !GetFileSizeEx(job->file, &size)) {
        outcome->result = DumpResult::kFailed;
        outcome->error = static_cast<int32_t>(GetLastError());
        MarkForDeletion(job->file, true);
        return;
    }
    job->keep = true;
    outcome->result = DumpResult::kWritten;
    outcome->bytes = static_cast<uint64_t>(size.QuadPart);
}

// Runs the dump on a thread of its own and waits for it until `deadlineMs`
// (MonotonicMs) or until its file grows past `maxBytes`. Then: cancelled
// where dbghelp asks, the clone ended so that the reads from it fail, and a
// last wait for the thread.
void RunJob(const std::shared_ptr<DumpJob>& job, int64_t deadlineMs, uint64_t maxBytes,
            DumpOutcome* outcome) {
    auto* shared = new std::shared_ptr<DumpJob>(job);
    ThreadHandle thread = StartThread(WriteDumpThread, shared);
    if (thread == nullptr) {
        delete shared;
        outcome->error = static_cast<int32_t>(GetLastError());
        return;
    }
    bool ended = false;
    bool tooLarge = false;
    for (int64_t left = deadlineMs - MonotonicMs(); !ended && !tooLarge && left > 0;
         left = deadlineMs - MonotonicMs()) {
        const DWORD wait = left < kSizeWatchMs ? static_cast<DWORD>(left) : kSizeWatchMs;
        ended = WaitForSingleObject(static_cast<HANDLE>(thread), wait) == WAIT_OBJECT_0;
        tooLarge = !ended && FileBytes(job->file) > maxBytes;
    }
    if (ended) {
        if (job->written) {
            KeepDump(job.get(), maxBytes, outcome);
        } else {
            outcome->error = static_cast<int32_t>(job->error);
        }
    } else {
        job->cancel = true;
        if (job->clone != nullptr) {
            TerminateProcess(job->clone, ERROR_CANCELLED);
        }
        WaitForSingleObject(static_cast<HANDLE>(thread), kAbandonWaitMs);
        outcome->result = tooLarge ? DumpResult::kTooLarge : DumpResult::kTimedOut;
    }
    CloseThreadHandle(thread);
}

}  // namespace

DumpOutcome WriteProcessDump(uint32_t processId, const std::string& path, DumpKind kind,
                             uint32_t timeLimitMs, uint64_t maxBytes) {
    const int64_t start = MonotonicMs();
    DumpOutcome outcome;
    const DumpFunctions& functions = Functions();
    if (functions.write == nullptr) {
        outcome.result = DumpResult::kNotAvailable;
    } else {
        auto job = std::make_shared<DumpJob>();
        job->functions = &functions;
        job->processId = processId;
        job->path = path;
        job->type = DumpType(kind);
        DWORD error = 0;
        if (!PrepareJob(job.get(), &error)) {
            outcome.error = static_cast<int32_t>(error);
        } else if (kind == DumpKind::kFull && CommittedBytes(job->process) > maxBytes) {
            outcome.result = DumpResult::kTooLarge;  // the file goes with the job
        } else {
            RunJob(job, start + timeLimitMs, maxBytes, &outcome);
        }
    }
    outcome.milliseconds = static_cast<uint32_t>(MonotonicMs() - start);
    return outcome;
}

std::string ExecutableVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) {
        return std::string();
    }
    std::vector<char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedBytes = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedBytes) ||
        fixed == nullptr || fixedBytes < sizeof(VS_FIXEDFILEINFO)) {
        return std::string();
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

}  // namespace platform
