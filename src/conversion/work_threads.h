#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillstamper {

// One thread a core the machine has, at least one.
unsigned CountCores();

// Runs work(i) for every i below count on threads threads (the caller's
// among them) and returns once every call has returned. Work must not throw.
void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work);

// Work done ahead of a consumer that takes items in order: helper threads
// run work(i, slot) for the items from Start's on, at most window items past
// the one the consumer took last, so that the consumer's own part of each
// item (writing a page) overlaps the work on later ones. An item's result
// lives in its slot (below window) until the consumer releases it. Work must
// not throw.
class WorkAhead {
public:
    using Work = std::function<void(std::size_t item, std::size_t slot)>;
    WorkAhead(unsigned helpers, std::size_t count, std::size_t window, Work work);
    ~WorkAhead();
    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    std::size_t SlotOf(std::size_t item) const {
        return item % m_window;
    }
    // Items from item on are handed out; earlier ones never are.
    void Start(std::size_t item);
    bool Started() const {
        return m_started;
    }
    // Once started: item is done, by a helper or now by the caller, who
    // works on later items while it waits. False before the start.
    bool Finish(std::size_t item);
    // The consumer is done with item: its slot takes a later one.
    void Release(std::size_t item);
    // Helpers finish what they hold and end; nothing is handed out again.
    void Stop();

private:
    enum class State : unsigned char { Free, Working, Done };

    void Serve();
    // Under the lock: hands out the next item, or returns false.
    bool TakeNext(std::unique_lock<std::mutex>& lock);

    const std::size_t m_count;
    const std::size_t m_window;
    const Work m_work;
    std::mutex m_mutex;
    std::condition_variable m_wake; // for helpers: an item to take, or stop
    std::condition_variable m_done; // for the consumer: an item done
    std::vector<State> m_states;    // by slot
    std::size_t m_next = 0;         // the next item to hand out
    std::size_t m_limit = 0;        // items below it may be handed out
    bool m_started = false;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace quillstamper
