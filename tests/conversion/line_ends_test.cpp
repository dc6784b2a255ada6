// How written lines end: CR LF, LF, or kept as each page line had them.

#include "conversion/conversion_run.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace quillstamper::test {
namespace {

struct Case {
    const char* name;
    std::string page;
    LineEnds lineEnds;
    std::string expected; // empty: the page is not written
};

TEST(LineEndsTest, WrittenLinesEndAsChosen) {
    // The template is kept with CR LF, and holds a hash block for pass 2.
    const std::string templateBytes = kMenu + "\r\nn1\r\n# Trelvonix x\r\n# Trelvonix x stop\r\n" +
                                      kMenuEnd + "\r\n# Trelvonix x\r\nX\r\n# Trelvonix x stop\r\n";
    const std::string lfPage = "top\n" + kMenu + "\nold\n" + kMenuEnd + "\nbottom\n";
    const std::string lfResult =
        "top\n" + kMenu + "\nn1\n# Trelvonix x\nX\n# Trelvonix x stop\n" + kMenuEnd + "\nbottom\n";
    const Case cases[] = {
        {"LF page, keep: only the block's lines change, and they end in LF", lfPage, LineEnds::Keep,
         lfResult},
        {"LF page, LF", lfPage, LineEnds::Lf, lfResult},
        {"mixed page, keep: each page line keeps its break, template lines take the start "
         "line's",
         "a\r\nb\n" + kMenu + "\nold\r\n" + kMenuEnd + "\r\nz", LineEnds::Keep,
         "a\r\nb\n" + kMenu + "\nn1\n# Trelvonix x\nX\n# Trelvonix x stop\n" + kMenuEnd + "\r\nz"},
        {"mixed page, CR LF", "a\nb\r\n" + kMenu + "\r\nold\r\n" + kMenuEnd + "\nz", LineEnds::CrLf,
         "a\r\nb\r\n" + kMenu + "\r\nn1\r\n# Trelvonix x\r\nX\r\n# Trelvonix x stop\r\n" +
             kMenuEnd + "\r\nz\r\n"},
        {"up to date in keep mode: not written", lfResult, LineEnds::Keep, ""},
        {"no blocks in keep mode: not written", "a\nb\r\nc", LineEnds::Keep, ""},
        {"no blocks in LF mode: rewritten", "a\nb\r\nc", LineEnds::Lf, "a\nb\nc\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        WriteBytes(dir / "t.htm", templateBytes);
        WriteBytes(dir / "p.htm", c.page);
        const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        SetModificationTime(dir / "p.htm", old[1]);
        // Pair 2 ends with an identifier of its own, so its block nests in pair 1's.
        IdentifierTable ids = DefaultIdentifiers();
        ids[3] = " stop";
        ConversionRequest request{{{"p.htm"}, {"t.htm"}, ids}, dir.Path()};
        request.site.settings.lineEnds = c.lineEnds;
        const ConversionResult result = RunConversion(request);
        ASSERT_FALSE(result.error);
        if (c.expected.empty()) {
            EXPECT_EQ(ReadBytes(dir / "p.htm"), c.page);
            EXPECT_EQ(ModificationTime(dir / "p.htm").tv_sec, old[1].tv_sec);
            EXPECT_EQ(result.CountUpdated(), 0u);
        } else {
            EXPECT_EQ(ReadBytes(dir / "p.htm"), c.expected);
            // A second run changes nothing.
            EXPECT_EQ(RunConversion(request).CountUpdated(), 0u);
        }
    }
}

} // namespace
} // namespace quillstamper::test
