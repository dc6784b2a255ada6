#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillstamper {

// One thread a core the machine has, at least one.
unsigned CountCores();

// Threads started once and given rounds of work: each round calls work(i)
// for every i below count, on the caller's thread and the others, and
// returns once every call has returned. The calls take the numbers in
// increasing order, any number a thread; work must not throw.
class WorkThreads {
public:
    explicit WorkThreads(unsigned threads);
    ~WorkThreads();
    WorkThreads(const WorkThreads&) = delete;
    WorkThreads& operator=(const WorkThreads&) = delete;

    unsigned Count() const {
        return static_cast<unsigned>(m_threads.size()) + 1;
    }
    void Run(std::size_t count, const std::function<void(std::size_t)>& work);

private:
    void Serve();
    void Take();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(std::size_t)>* m_work = nullptr;
    std::size_t m_count = 0;
    std::size_t m_next = 0;
    std::size_t m_busy = 0;    // helpers still in the round
    std::uint64_t m_round = 0; // which round the helpers are asked for
    bool m_stopping = false;
    std::vector<std::jthread> m_threads;
};

// A single round on threads threads started for it.
void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work);

} // namespace quillstamper
