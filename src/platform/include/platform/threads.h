// Thread creation with the C runtime's conventions: a thread runs an entry
// function with one pointer argument and is never joined; its handle is only
// closed.
#pragma once

// The calling convention of a thread entry: the C runtime's thread start
// (_beginthreadex) calls its entry as __stdcall, which differs from the
// default one in 32-bit Windows builds.
#ifdef _WIN32
#define ZELK_THREAD_CALL __stdcall
#else
#define ZELK_THREAD_CALL
#endif

namespace platform {

using ThreadHandle = void*;
using ThreadEntry = unsigned(ZELK_THREAD_CALL*)(void* argument);

// Starts a thread running `entry(argument)` at once. Returns null when the
// thread could not be created (the entry is then never called).
ThreadHandle StartThread(ThreadEntry entry, void* argument);

// Releases a handle from StartThread without waiting for the thread.
void CloseThreadHandle(ThreadHandle handle);

}  // namespace platform
