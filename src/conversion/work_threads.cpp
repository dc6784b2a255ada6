#include "conversion/work_threads.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quillstamper {

unsigned CountCores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            work(i);
        }
    };
    const std::size_t helpers = std::min<std::size_t>(threads, count) - (count > 0 ? 1 : 0);
    std::vector<std::jthread> started;
    started.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        started.emplace_back(take);
    }
    take();
    // The jthreads join as they go out of scope.
}

} // namespace quillstamper
