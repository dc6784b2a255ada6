#pragma once

#include <cstddef>
#include <functional>

namespace quillstamper {

// One thread a core the machine has, at least one.
unsigned CountCores();

// Calls work(i) for every i below count, on up to threads threads (the
// caller's among them), and returns once every call has returned. The calls
// take the numbers in increasing order, any number a thread; work must not
// throw.
void RunOnThreads(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& work);

} // namespace quillstamper
