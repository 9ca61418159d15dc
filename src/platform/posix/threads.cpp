#include "platform/threads.h"

#include <pthread.h>

#include <new>

namespace platform {

namespace {
struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

void* RunThread(void* start) {
    ThreadStart copy = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    copy.entry(copy.argument);
    return nullptr;
}
}  // namespace

ThreadHandle StartThread(ThreadEntry entry, void* argument) {
    auto* start = new (std::nothrow) ThreadStart{entry, argument};
    auto* thread = new (std::nothrow) pthread_t;
    if (start == nullptr || thread == nullptr ||
        pthread_create(thread, nullptr, RunThread, start) != 0) {
        delete start;
        delete thread;
        return nullptr;
    }
    return thread;
}

void CloseThreadHandle(ThreadHandle handle) {
    if (handle == nullptr) {
        return;
    }
    auto* thread = static_cast<pthread_t*>(handle);
    pthread_detach(*thread);
    delete thread;
}

}  // namespace platform
