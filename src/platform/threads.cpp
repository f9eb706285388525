#include "platform/threads.h"

#include <chrono>
#include <system_error>

#include <unistd.h>

namespace avs {

uint32_t ProcessorCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

uint64_t ProcessId() {
    return static_cast<uint64_t>(getpid());
}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    // An auto-reset event releases a single waiter; that waiter clears it.
    if (manualReset_) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

uint32_t Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto isSignalled = [this] { return signalled_; };
    if (timeoutMs == kWaitInfinite) {
        cv_.wait(lock, isSignalled);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSignalled)) {
        return kWaitTimeout;
    }
    if (!manualReset_) signalled_ = false;
    return 0;
}

bool Thread::Start(Procedure procedure, void* argument) {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread(procedure, argument);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace avs
