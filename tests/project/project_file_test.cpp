#include "project/project_file.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillstamper {
namespace {

using Status = ProjectParseResult::Status;

const std::string kHead =
    "Trelvonix Quillstamper Project\r\n==============================\r\n\r\n";

void ExpectLoads(const std::string& bytes, const ProjectData& expected) {
    const ProjectParseResult parsed = ParseProjectFile(bytes);
    ASSERT_EQ(parsed.status, Status::Loaded) << bytes;
    EXPECT_EQ(parsed.data.webFiles, expected.webFiles) << bytes;
    EXPECT_EQ(parsed.data.templateFiles, expected.templateFiles) << bytes;
    EXPECT_EQ(parsed.data.identifiers, expected.identifiers) << bytes;
}

TEST(ProjectFileTest, WritesExactBytesAndReadsThemBack) {
    const std::string empty = FormatProjectFile({{}, {}, DefaultIdentifiers()});
    EXPECT_EQ(empty, kHead + "[EOL]\r\n[EOL]\r\n<!-- Trelvonix \r\n end -->\r\n# Trelvonix \r\n"
                             " end -->\r\n// Trelvonix \r\n end -->\r\n\r\n\r\n[EOL]\r\n");
    EXPECT_EQ(empty.size(), 167u);
    const ProjectData data{
        {"c.html", "a.html", "c.html"}, {" t.txt "}, {"[EOL]", "", " x ", "3", "4", "5", "6", "7"}};
    const std::string bytes = kHead + "c.html\r\na.html\r\nc.html\r\n[EOL]\r\n t.txt \r\n[EOL]\r\n"
                                      "[EOL]\r\n\r\n x \r\n3\r\n4\r\n5\r\n6\r\n7\r\n[EOL]\r\n";
    EXPECT_EQ(FormatProjectFile(data), bytes);
    ExpectLoads(bytes, data);
    std::string lfOnly = bytes;
    lfOnly.erase(std::remove(lfOnly.begin(), lfOnly.end(), '\r'), lfOnly.end());
    ExpectLoads(lfOnly, data);
}

TEST(ProjectFileTest, ReadsLenientlyAfterTheHeader) {
    // Line 3 is skipped whatever it holds; an empty line in a list is an entry.
    ExpectLoads("Trelvonix Quillstamper Project\nx\na.html\n\nb.html\n[EOL]\n[EOL]\n",
                {{"", "b.html"}, {}, {}});
    // Missing identifier lines are empty, lines after the eighth are not read.
    ExpectLoads(kHead + "[EOL]\r\nt\r\n[EOL]\r\na\r\nb", {{}, {"t"}, {"a", "b"}});
    ExpectLoads(kHead + "[EOL]\r\n[EOL]\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n",
                {{}, {}, {"1", "2", "3", "4", "5", "6", "7", "8"}});
}

TEST(ProjectFileTest, RefusesForeignAndTruncatedFiles) {
    const std::string rest = kHead.substr(32) + "[EOL]\r\n[EOL]\r\n";
    const std::pair<std::string, Status> cases[] = {
        {"", Status::NotAProject},
        {"trelvonix quillstamper project\r\n" + rest, Status::NotAProject},
        {"Trelvonix Quillstamper Project \r\n" + rest, Status::NotAProject},
        {"Trelvonix Quillstamper Project", Status::Truncated},
        {kHead + "a.html\r\n", Status::Truncated},
        {kHead + "a.html\r\n[EOL]\r\nt.txt", Status::Truncated}};
    for (const auto& [bytes, status] : cases) {
        const ProjectParseResult parsed = ParseProjectFile(bytes);
        EXPECT_EQ(parsed.status, status) << bytes;
        EXPECT_TRUE(parsed.data.webFiles.empty() && parsed.data.templateFiles.empty()) << bytes;
        EXPECT_EQ(parsed.message == "No project file!", status == Status::NotAProject) << bytes;
    }
}

} // namespace
} // namespace quillstamper
