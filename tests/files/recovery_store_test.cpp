// The recovery store tells what an interrupted in-place write left from an
// edit made since: only the first is put back.

#include "files/recovery_store.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace quillstamper {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// Three blocks and a bit; the new bytes are shorter and shifted against the
// old ones, so that no block of one equals a block of the other.
const std::string kOld = "<old>" + std::string(12500, 'o') + "</old>\r\n";
const std::string kNew = "<new/>" + std::string(9000, 'n') + "\r\n";
constexpr std::size_t kBlock = 4096;

std::string Over(const std::string& top, std::size_t length, const std::string& bottom) {
    return top.substr(0, length) + (bottom.size() > length ? bottom.substr(length) : "");
}

TEST(RecoveryStoreTest, PutsBackOnlyWhatAnInterruptedWriteCouldLeave) {
    const struct {
        const char* state;
        std::string page;
        bool putBack;
    } cases[] = {
        {"not yet written", kOld, true},
        {"written and cut", kNew, true},
        {"one block written", Over(kNew, kBlock, kOld), true},
        {"two blocks written", Over(kNew, 2 * kBlock, kOld), true},
        {"written, not cut", Over(kNew, kNew.size(), kOld), true},
        {"put back in part after the write", Over(kOld, kBlock, kNew), true},
        {"written, not cut, then put back in part",
         Over(kOld, kBlock, Over(kNew, kNew.size(), kOld)), true},
        {"written in part, one block put back", Over(kOld, kBlock, Over(kNew, 2 * kBlock, kOld)),
         true},
        {"new bytes with a word added", kNew + "edit", false},
        {"one byte of the new changed", "<NEW" + kNew.substr(4), false},
        {"old bytes with a line added", kOld + "<p>added</p>\r\n", false},
        {"old bytes with a line taken out", kOld.substr(0, kOld.size() - 8), false},
        {"cut in the middle of a block", kNew.substr(0, 20), false},
        {"cut at a block", kOld.substr(0, kBlock), false},
        {"a block written in part", Over(kNew, kBlock + 10, kOld), false},
        {"empty", "", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.state);
        const test::TempDir dir;
        const std::string page = dir / "page.html";
        const RecoveryStore store(dir / "recovery");
        const std::string copy = store.Save(page, kOld, kNew);
        WriteBytes(page, test.page);
        ASSERT_EQ(store.List().size(), 1u);
        const RecoveryStore::Copy found = store.List().front();
        EXPECT_EQ(found.file, copy);
        EXPECT_EQ(found.target, page);
        EXPECT_EQ(store.MatchesInterruptedWrite(found), test.putBack);
        EXPECT_EQ(store.PutBack(found), test.putBack);
        EXPECT_EQ(ReadBytes(page), test.putBack ? kOld : test.page);
        EXPECT_EQ(store.List().empty(), test.putBack);
    }
}

// A copy made by an older version records nothing of the new bytes: its old
// bytes go back whatever the page holds. A copy left from before is never
// replaced by a new one, and the newest is listed first.
TEST(RecoveryStoreTest, OlderCopiesArePutBackAndKeptCopiesStay) {
    const test::TempDir dir;
    const std::string page = dir / "page.html";
    WriteBytes(dir / "recovery/0123456789abcdef.recovery", "quillstamper recovery copy 1\n" +
                                                               std::to_string(page.size()) + "\n" +
                                                               page + "\n" + kOld);
    WriteBytes(page, "anything");
    const RecoveryStore store(dir / "recovery");
    ASSERT_EQ(store.List().size(), 1u);
    EXPECT_TRUE(store.PutBack(store.List().front()));
    EXPECT_EQ(ReadBytes(page), kOld);

    const std::string first = store.Save(page, "first", "1");
    // File times may be coarser than the time between two saves.
    std::filesystem::last_write_time(first, std::filesystem::last_write_time(first) -
                                                std::chrono::seconds(10));
    const std::string second = store.Save(page, "second", "2");
    EXPECT_NE(first, second);
    EXPECT_EQ(store.ReadOldBytes(first), "first");
    EXPECT_EQ(store.ReadOldBytes(second), "second");
    ASSERT_EQ(store.List().size(), 2u);
    EXPECT_EQ(store.List().front().file, second);
}

} // namespace
} // namespace quillstamper
