#include "conversion/work_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace quillstamper {
namespace {

struct Counts {
    explicit Counts(std::size_t count) : worked(std::make_unique<std::atomic<int>[]>(count)) {}
    std::unique_ptr<std::atomic<int>[]> worked;
};

// Every item from the start on is worked once, its result waits in its
// slot until released, whoever worked it; items before the start never are.
TEST(WorkThreadsTest, ItemsAheadAreWorkedOnceAndTakenInOrder) {
    for (const unsigned helpers : {0u, 1u, 3u}) {
        for (const std::size_t window : {1u, 4u, 32u}) {
            for (const std::size_t count : {1u, 2u, 7u, 300u}) {
                for (const std::size_t start : {std::size_t{0}, count / 2}) {
                    SCOPED_TRACE(testing::Message() << helpers << " helpers, window " << window
                                                    << ", " << count << " items from " << start);
                    Counts counts(count);
                    std::vector<std::size_t> slots(window, 0);
                    WorkAhead ahead(helpers, count, window,
                                    [&](std::size_t item, std::size_t slot) {
                                        ++counts.worked[item];
                                        slots[slot] = item * 7 + 1;
                                    });
                    for (std::size_t item = 0; item < count; ++item) {
                        if (item == start) {
                            ahead.Start(item);
                        }
                        ASSERT_EQ(ahead.Finish(item), item >= start);
                        if (item >= start) {
                            EXPECT_EQ(slots[ahead.SlotOf(item)], item * 7 + 1);
                        }
                        ahead.Release(item);
                    }
                    ahead.Stop();
                    for (std::size_t item = 0; item < count; ++item) {
                        EXPECT_EQ(counts.worked[item].load(), item >= start ? 1 : 0) << item;
                    }
                }
            }
        }
    }
}

TEST(WorkThreadsTest, StoppedWorkHandsOutNothingMore) {
    Counts counts(1000);
    std::atomic<int> calls{0};
    WorkAhead ahead(2, 1000, 8, [&](std::size_t item, std::size_t) {
        ++counts.worked[item];
        ++calls;
    });
    ahead.Start(0);
    ASSERT_TRUE(ahead.Finish(0));
    ahead.Release(0);
    ahead.Stop();
    const int afterStop = calls.load();
    EXPECT_LE(afterStop, 9); // the first item and at most a window past it
    EXPECT_FALSE(ahead.Finish(1));
    EXPECT_EQ(calls.load(), afterStop);
}

TEST(WorkThreadsTest, RunOnThreadsCallsEachNumberOnce) {
    for (const unsigned threads : {1u, 2u, 5u}) {
        for (const std::size_t count : {0u, 1u, 3u, 500u}) {
            Counts counts(count + 1);
            RunOnThreads(count, threads, [&](std::size_t i) { ++counts.worked[i]; });
            for (std::size_t i = 0; i <= count; ++i) {
                EXPECT_EQ(counts.worked[i].load(), i < count ? 1 : 0)
                    << threads << " threads, " << count << " numbers, number " << i;
            }
        }
    }
}

} // namespace
} // namespace quillstamper
