#include "conversion/work_threads.h"

#include <algorithm>

namespace quillstamper {

unsigned CountCores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

WorkThreads::WorkThreads(unsigned threads) {
    for (unsigned i = 1; i < threads; ++i) {
        m_threads.emplace_back([this] { Serve(); });
    }
}

WorkThreads::~WorkThreads() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // The jthreads join as they go.
}

void WorkThreads::Run(std::size_t count, const std::function<void(std::size_t)>& work) {
    if (m_threads.empty() || count < 2) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
        }
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_work = &work;
        m_count = count;
        m_next = 0;
        m_busy = m_threads.size();
        ++m_round;
    }
    m_wake.notify_all();
    Take();
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_busy == 0; });
    m_work = nullptr;
}

// Numbers are handed out under the lock: a round is a few dozen pages, each
// far longer than taking the lock.
void WorkThreads::Take() {
    for (;;) {
        std::size_t i = 0;
        {
            const std::lock_guard lock(m_mutex);
            if (m_next >= m_count) {
                return;
            }
            i = m_next++;
        }
        (*m_work)(i);
    }
}

void WorkThreads::Serve() {
    std::uint64_t served = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_round != served; });
            if (m_stopping) {
                return;
            }
            served = m_round;
        }
        Take();
        {
            const std::lock_guard lock(m_mutex);
            --m_busy;
        }
        m_done.notify_one();
    }
}

void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work) {
    WorkThreads(std::min<std::size_t>(threads, std::max<std::size_t>(count, 1))).Run(count, work);
}

} // namespace quillstamper
