// The operating-system services the conversion workers need: processor count,
// events, threads and critical sections. Each is a thin wrapper with the
// semantics of its Win32 counterpart (named beside it), built here on the
// standard library's threads, mutexes and condition variables.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace avs {

inline constexpr uint32_t kWaitInfinite = 0xFFFFFFFF;
// What Wait returns when the object was not signalled in time (WAIT_TIMEOUT).
inline constexpr uint32_t kWaitTimeout = 258;

// Number of processors in the machine, at least 1 (GetSystemInfo).
uint32_t ProcessorCount();
// Identifies the running process (GetCurrentProcessId); a child made by
// fork() has a new one and none of its parent's threads.
uint64_t ProcessId();

// A manual- or auto-reset event (CreateEventA, SetEvent, ResetEvent,
// WaitForSingleObject). An auto-reset event wakes one waiter per Set and
// clears itself as that wait ends.
class Event {
  public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // 0 once signalled, kWaitTimeout when timeoutMs passed first.
    uint32_t Wait(uint32_t timeoutMs);

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const bool manualReset_;
    bool signalled_;
};

// A mutual-exclusion lock (InitializeCriticalSection, EnterCriticalSection,
// LeaveCriticalSection, DeleteCriticalSection).
class CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

// Holds a critical section for one scope.
class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~CriticalSectionLock() { section_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CriticalSection& section_;
};

// A thread running procedure(argument) (CreateThread; WaitForSingleObject on
// its handle; CloseHandle). The owner must Join before destruction; a thread
// still running then is joined by the destructor.
class Thread {
  public:
    using Procedure = void (*)(void* argument);

    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() { Join(); }

    // False when the system cannot start another thread.
    bool Start(Procedure procedure, void* argument);
    // Waits for the procedure to return; does nothing when none is running.
    void Join();
    std::thread::id Id() const { return thread_.get_id(); }

  private:
    std::thread thread_;
};

}  // namespace avs
