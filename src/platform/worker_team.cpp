#include "platform/worker_team.h"

#include <new>

namespace avs {

WorkerTeam::WorkerTeam(uint32_t workers) : requested_(workers) {
    workers_.reset(new (std::nothrow) Worker[workers]);
    if (workers_ == nullptr) return;
    for (uint32_t i = 0; i < workers; ++i) {
        Worker& w = workers_[i];
        w.team = this;
        if (!w.thread.Start(&WorkerTeam::Run, &w)) break;
        ++count_;
    }
}

WorkerTeam::~WorkerTeam() {
    for (uint32_t i = 0; i < count_; ++i) {
        Worker& w = workers_[i];
        w.done.Wait(kWaitInfinite);
        w.quit = true;
        w.start.Set();
        w.thread.Join();
    }
}

void WorkerTeam::Start(Task task, void* context) {
    task_ = task;
    context_ = context;
    for (uint32_t i = 0; i < count_; ++i) {
        workers_[i].done.Reset();
        workers_[i].start.Set();
    }
}

void WorkerTeam::Wait() {
    // The done events are auto-reset: each wait consumes one completion, and
    // the destructor's wait finds them signalled again.
    for (uint32_t i = 0; i < count_; ++i) {
        workers_[i].done.Wait(kWaitInfinite);
        workers_[i].done.Set();
    }
}

void WorkerTeam::Run(void* argument) {
    auto& w = *static_cast<Worker*>(argument);
    for (;;) {
        w.start.Wait(kWaitInfinite);
        if (w.quit) return;
        w.team->task_(w.team->context_);
        w.done.Set();
    }
}

}  // namespace avs
