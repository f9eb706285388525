// Threads that run one task at a time for their owner: Start hands the same
// task to every worker, Wait returns once each has finished it. The workers
// wait on events between tasks and end with the team.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/threads.h"

namespace avs {

class WorkerTeam {
  public:
    using Task = void (*)(void* context);

    // Starts up to `workers` threads; fewer when the system refuses more
    // (size() tells).
    explicit WorkerTeam(uint32_t workers);
    // Ends every worker; a task in progress is finished first.
    ~WorkerTeam();
    WorkerTeam(const WorkerTeam&) = delete;
    WorkerTeam& operator=(const WorkerTeam&) = delete;

    uint32_t size() const { return count_; }
    // What the team was asked for: a team the system gave fewer threads is
    // still the answer to the same request.
    uint32_t requested() const { return requested_; }
    // Every worker calls task(context) once. Returns at once.
    void Start(Task task, void* context);
    // Returns when every worker has returned from the last task started.
    void Wait();

  private:
    struct alignas(64) Worker {
        Thread thread;
        Event start{false, false};  // auto-reset
        Event done{false, true};    // auto-reset, created signalled
        const WorkerTeam* team = nullptr;
        bool quit = false;  // written before start is set
    };
    static void Run(void* worker);

    std::unique_ptr<Worker[]> workers_;
    uint32_t count_ = 0;
    uint32_t requested_ = 0;
    Task task_ = nullptr;  // written before the workers' start events are set
    void* context_ = nullptr;
};

}  // namespace avs
