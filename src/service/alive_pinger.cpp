#include "alive_pinger.h"

#include <chrono>
#include <utility>

void AlivePinger::Start(uint32_t everyMs, std::function<bool()> healthy,
                        std::function<void()> ping) {
    Stop();
    if (everyMs == 0) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = false;
    }
    thread_ = std::thread([this, everyMs, healthy = std::move(healthy), ping = std::move(ping)] {
        std::unique_lock<std::mutex> hold(lock_);
        while (!stopping_) {
            hold.unlock();
            if (healthy()) {
                ping();
            }
            hold.lock();
            wake_.wait_for(hold, std::chrono::milliseconds(everyMs), [this] { return stopping_; });
        }
    });
}

void AlivePinger::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}
