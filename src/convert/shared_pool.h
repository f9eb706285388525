// The process-wide pool of conversion workers. Starting threads for every
// picture costs more than converting a small picture, so the workers start
// with the first threaded conversion and live until the process ends (or the
// library is unloaded). One conversion uses them at a time; a conversion that
// finds them busy runs on its own thread, since the processors are busy too.
// (Windows: every conversion has workers of its own; see shared_pool.cpp.)
#pragma once

#include <memory>
#include <mutex>

namespace avs {

class ConverterPool;

// Holds the shared pool for one conversion.
class SharedPoolLease {
  public:
    SharedPoolLease();
    ~SharedPoolLease();
    SharedPoolLease(const SharedPoolLease&) = delete;
    SharedPoolLease& operator=(const SharedPoolLease&) = delete;

    // Null when another conversion holds the pool or it cannot be had.
    ConverterPool* pool() const { return pool_; }

  private:
    std::unique_lock<std::mutex> lock_;
    std::unique_ptr<ConverterPool> own_;  // Windows: this conversion's workers
    ConverterPool* pool_ = nullptr;
};

}  // namespace avs
