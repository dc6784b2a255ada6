#include "conversion/line_model.h"

#include "support/test_files.h"
#include "workspace/file_error.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

TEST(LineModelTest, SplitsAtLfWithOptionalCrAndJoinsWithCrLf) {
    const std::pair<std::string, Lines> cases[] = {{"", {}},
                                                   {"a\r\nb", {"a", "b"}},
                                                   {"a\nb\n", {"a", "b"}},
                                                   {"\n", {""}},
                                                   {"\n\nx", {"", "", "x"}},
                                                   {"a\rb\n", {"a\rb"}},
                                                   {"a\r\r\n", {"a\r"}},
                                                   {"a\r", {"a\r"}}};
    for (const auto& [bytes, expected] : cases) {
        const LineViews views = SplitLines(bytes);
        EXPECT_EQ(Lines(views.begin(), views.end()), expected) << testing::PrintToString(bytes);
    }
    EXPECT_EQ(JoinLines(Lines{}), "");
    EXPECT_EQ(JoinLines(LineViews{"", "a\r"}), "\r\na\r\r\n");
}

TEST(LineModelTest, FilesRoundTripToCrLf) {
    const test::TempDir dir;
    const std::string path = dir / "page.html";
    test::WriteBytes(path, "a\r\nb\n\nc");
    EXPECT_EQ(ReadLines(path), (Lines{"a", "b", "", "c"}));
    WriteLines(path, ReadLines(path));
    EXPECT_EQ(test::ReadBytes(path), "a\r\nb\r\n\r\nc\r\n");
    EXPECT_THROW(ReadLines(dir / "missing.html"), FileError);
}

} // namespace
} // namespace quillstamper
