// Thread creation with the C runtime's conventions: a thread runs an entry
// function with one pointer argument and is never joined; its handle is only
// closed.
#pragma once

namespace platform {

using ThreadHandle = void*;
using ThreadEntry = unsigned (*)(void* argument);

// Starts a thread running `entry(argument)` at once. Returns null when the
// thread could not be created (the entry is then never called).
ThreadHandle StartThread(ThreadEntry entry, void* argument);

// Releases a handle from StartThread without waiting for the thread.
void CloseThreadHandle(ThreadHandle handle);

}  // namespace platform
