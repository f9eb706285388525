#include "convert/shared_pool.h"

#include <memory>
#include <new>

#include "convert/converter_pool.h"
#include "platform/threads.h"

namespace avs {

#if defined(_WIN32)

// A DLL cannot stop threads from its unload or process-exit destructors: the
// loader lock is held, or the threads are already gone, and the join never
// returns. So each conversion starts its own workers and joins them before
// it returns.
SharedPoolLease::SharedPoolLease()
    : own_(new (std::nothrow) ConverterPool(ProcessorCount())), pool_(own_.get()) {}

#else

namespace {

struct SharedPool {
    std::mutex mutex;
    std::unique_ptr<ConverterPool> pool;  // guarded by mutex
    uint64_t owner = 0;                   // the process whose threads the pool holds
};

// Destroyed at exit or unload, which stops and joins the workers.
SharedPool& Shared() {
    static SharedPool shared;
    return shared;
}

}  // namespace

SharedPoolLease::SharedPoolLease() : lock_(Shared().mutex, std::try_to_lock) {
    if (!lock_.owns_lock()) return;
    SharedPool& shared = Shared();
    const uint64_t self = ProcessId();
    if (shared.pool && shared.owner != self) {
        // After fork() the workers exist only in the parent: this copy of
        // their records can be neither used nor stopped, so it is let go.
        (void)shared.pool.release();
    }
    if (!shared.pool) {
        shared.pool.reset(new (std::nothrow) ConverterPool(ProcessorCount()));
        shared.owner = self;
    }
    pool_ = shared.pool.get();
}

#endif

SharedPoolLease::~SharedPoolLease() = default;

}  // namespace avs
