#include "conversion/work_threads.h"

#include <algorithm>
#include <utility>

namespace quillstamper {

unsigned CountCores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work) {
    std::mutex mutex;
    std::size_t next = 0;
    const auto take = [&] {
        for (;;) {
            std::size_t i = 0;
            {
                const std::lock_guard lock(mutex);
                if (next >= count) {
                    return;
                }
                i = next++;
            }
            work(i);
        }
    };
    std::vector<std::jthread> helpers;
    for (std::size_t i = 1; i < std::min<std::size_t>(threads, count); ++i) {
        helpers.emplace_back(take);
    }
    take();
}

WorkAhead::WorkAhead(unsigned helpers, std::size_t count, std::size_t window, Work work)
    : m_count(count), m_window(std::max<std::size_t>(window, 1)), m_work(std::move(work)),
      m_states(m_window, State::Free) {
    for (unsigned i = 0; i < helpers && count > 1; ++i) {
        m_threads.emplace_back([this] { Serve(); });
    }
}

WorkAhead::~WorkAhead() {
    Stop();
}

void WorkAhead::Start(std::size_t item) {
    {
        const std::lock_guard lock(m_mutex);
        m_started = true;
        m_next = item;
        m_limit = item + m_window;
    }
    m_wake.notify_all();
}

bool WorkAhead::TakeNext(std::unique_lock<std::mutex>& lock) {
    if (m_stopping || m_next >= std::min(m_limit, m_count)) {
        return false;
    }
    const std::size_t item = m_next++;
    const std::size_t slot = SlotOf(item);
    m_states[slot] = State::Working;
    lock.unlock();
    m_work(item, slot);
    lock.lock();
    m_states[slot] = State::Done;
    m_done.notify_all();
    return true;
}

bool WorkAhead::Finish(std::size_t item) {
    std::unique_lock lock(m_mutex);
    if (!m_started || m_stopping) {
        return false;
    }
    if (item >= m_next) {
        m_next = item; // the caller's turn: no helper has it yet
        return TakeNext(lock);
    }
    // While the item is on a helper, the caller works on later ones.
    while (m_states[SlotOf(item)] != State::Done) {
        if (!TakeNext(lock)) {
            m_done.wait(lock);
        }
    }
    return true;
}

void WorkAhead::Release(std::size_t item) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_started) {
            return;
        }
        if (item < m_next) {
            m_states[SlotOf(item)] = State::Free;
        }
        m_limit = std::max(m_limit, item + 1 + m_window);
    }
    m_wake.notify_all();
}

void WorkAhead::Stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void WorkAhead::Serve() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] {
            return m_stopping || (m_started && m_next < std::min(m_limit, m_count));
        });
        if (m_stopping) {
            return;
        }
        TakeNext(lock);
    }
}

} // namespace quillstamper
