#include "project/project_commands.h"
#include "project/project_file.h"
#include "project/workspace.h"

#include "base/file_error.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillstamper {
namespace {

using Status = ProjectParseResult::Status;

const std::string kHead =
    "Trelvonix Quillstamper Project\r\n==============================\r\n\r\n";

void ExpectLoads(const std::string& bytes, const SiteDefinition& expected) {
    const ProjectParseResult parsed = ParseProjectFile(bytes);
    ASSERT_EQ(parsed.status, Status::Loaded) << bytes;
    EXPECT_EQ(parsed.data.webFiles, expected.webFiles) << bytes;
    EXPECT_EQ(parsed.data.templateFiles, expected.templateFiles) << bytes;
    EXPECT_EQ(parsed.data.identifiers, expected.identifiers) << bytes;
    EXPECT_EQ(parsed.data.settings, expected.settings) << bytes;
}

TEST(ProjectFileTest, WritesExactBytesAndReadsThemBack) {
    const std::string empty = FormatProjectFile({{}, {}, DefaultIdentifiers()});
    EXPECT_EQ(empty, kHead + "[EOL]\r\n[EOL]\r\n<!-- Trelvonix \r\n end -->\r\n# Trelvonix \r\n"
                             " end -->\r\n// Trelvonix \r\n end -->\r\n\r\n\r\n[EOL]\r\n");
    EXPECT_EQ(empty.size(), 167u);
    const SiteDefinition data{
        {"c.html", "a.html", "c.html"}, {" t.txt "}, {"[EOL]", "", " x ", "3", "4", "5", "6", "7"}};
    const std::string bytes = kHead + "c.html\r\na.html\r\nc.html\r\n[EOL]\r\n t.txt \r\n[EOL]\r\n"
                                      "[EOL]\r\n\r\n x \r\n3\r\n4\r\n5\r\n6\r\n7\r\n[EOL]\r\n";
    EXPECT_EQ(FormatProjectFile(data), bytes);
    ExpectLoads(bytes, data);
    std::string lfOnly = bytes;
    lfOnly.erase(std::remove(lfOnly.begin(), lfOnly.end(), '\r'), lfOnly.end());
    ExpectLoads(lfOnly, data);
}

const std::string kIdentifierLines =
    "<!-- Trelvonix \r\n end -->\r\n# Trelvonix \r\n end -->\r\n// "
    "Trelvonix \r\n end -->\r\n\r\n\r\n[EOL]\r\n";

// Only a setting other than its default adds a line, after the closing
// "[EOL]", where readers of older files stop; lines of later versions there
// are passed over.
TEST(ProjectFileTest, SettingLinesRoundTripAndOlderFilesMeanTheDefaults) {
    const std::string base = kHead + "a.html\r\n[EOL]\r\n[EOL]\r\n" + kIdentifierLines;
    const struct {
        ProjectSettings settings;
        std::string lines;
    } cases[] = {{{LineEnds::CrLf, EndLines::Own}, ""},
                 {{LineEnds::Lf, EndLines::Own}, "Line ends: LF\r\n"},
                 {{LineEnds::Keep, EndLines::Own}, "Line ends: keep\r\n"},
                 {{LineEnds::CrLf, EndLines::Any}, "End lines: any\r\n"},
                 {{LineEnds::Keep, EndLines::Any}, "Line ends: keep\r\nEnd lines: any\r\n"},
                 {{.text = TextMode::Bytes}, "Text: bytes\r\n"}};
    for (const auto& [settings, lines] : cases) {
        const SiteDefinition data{{"a.html"}, {}, DefaultIdentifiers(), settings};
        EXPECT_EQ(FormatProjectFile(data), base + lines);
        ExpectLoads(base + lines, data);
        ExpectLoads(base + "# a later program's line\r\nSitemap: every page\r\n" + lines, data);
    }
}

// People edit the file by hand: values in any case and with blanks around
// mean what they say; a value no version knows refuses the file, naming its
// line, rather than silently running with CR LF.
TEST(ProjectFileTest, SettingValuesAreReadLenientlyAndUnknownOnesRefused) {
    const std::string base = kHead + "a.html\r\n[EOL]\r\n[EOL]\r\n" + kIdentifierLines;
    const std::pair<std::string, ProjectSettings> readable[] = {
        {"Line ends: lf", {LineEnds::Lf}},
        {"line ends:  CR LF ", {LineEnds::CrLf}},
        {"LINE ENDS:\tKEEP", {LineEnds::Keep}},
        {"  Line ends :cr lf", {LineEnds::CrLf}},
        {"End lines: ANY ", {LineEnds::CrLf, EndLines::Any}},
        {"end lines:own", {LineEnds::CrLf, EndLines::Own}},
        {"TEXT: Bytes", {.text = TextMode::Bytes}}};
    for (const auto& [line, settings] : readable) {
        ExpectLoads(base + line + "\r\n", {{"a.html"}, {}, DefaultIdentifiers(), settings});
    }
    for (const std::string line : {"Line ends: sideways", "Line ends: crlf", "Line ends:",
                                   "End lines: some", "End lines: any, please", "Text: latin1"}) {
        const ProjectParseResult parsed = ParseProjectFile(base + "\r\n" + line + "\r\n");
        EXPECT_EQ(parsed.status, Status::BadSetting) << line;
        EXPECT_NE(parsed.message.find("Line 17 of the project file, \"" + line + "\""),
                  std::string::npos)
            << parsed.message;
    }
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

using Outcome = OpenProjectResult::Outcome;

// A file dialog that answers with path (nothing = cancelled) and counts its showings.
struct FakeDialog {
    std::optional<std::string> path;
    int shown = 0;
    AskForProjectPath Ask() {
        return [this] { return ++shown, path; };
    }
};

const IdentifierTable kIdentifiers = {"<!-- Q ", " end -->", "[EOL]", "", "", "", "%% ", " %%"};

Workspace Filled(const std::string& projectPath) {
    Workspace workspace;
    workspace.m_webFiles = {"c.html", "a.html", "b.html"};
    workspace.m_templateFiles = {" t.txt "};
    workspace.m_identifiers = kIdentifiers;
    workspace.m_projectPath = projectPath;
    RefreshCounts(workspace);
    return workspace;
}

TEST(ProjectCommandsTest, SaveAsksOnlyWithoutPathOrWhenToldAndOpenRestores) {
    const test::TempDir dir;
    Workspace workspace = Filled("");
    FakeDialog dialog;
    EXPECT_FALSE(SaveProjectFile(workspace, false, dialog.Ask()));
    EXPECT_EQ(workspace.m_projectPath, "");
    dialog.path = dir / "site.trvx";
    EXPECT_TRUE(SaveProjectFile(workspace, false, dialog.Ask()));
    EXPECT_EQ(workspace.m_projectPath, dir / "site.trvx");
    Workspace opened;
    opened.m_pathBreak = 5;
    opened.m_webFiles = {"x.html"};
    EXPECT_EQ(OpenProject(opened, dialog.Ask()).outcome, Outcome::Loaded);
    EXPECT_EQ(opened.m_webFiles, workspace.m_webFiles);
    EXPECT_EQ(opened.m_templateFiles, workspace.m_templateFiles);
    EXPECT_EQ(opened.m_identifiers, kIdentifiers);
    EXPECT_EQ(opened.m_projectPath, dir / "site.trvx");
    EXPECT_EQ(opened.m_pathBreak, 5);
    EXPECT_EQ(opened.m_counts, "Web Files: 3        Template Files: 1");
    // After New Project, Save writes the emptied lists over the same file at once.
    NewProject(workspace);
    EXPECT_TRUE(SaveProjectFile(workspace, false, dialog.Ask()));
    EXPECT_EQ(dialog.shown, 3);
    EXPECT_EQ(test::ReadBytes(dir / "site.trvx"), FormatProjectFile({{}, {}, kIdentifiers}));
    dialog.path.reset();
    EXPECT_FALSE(SaveProjectFile(workspace, true, dialog.Ask()));
    EXPECT_EQ(dialog.shown, 4);
    EXPECT_EQ(workspace.m_projectPath, dir / "site.trvx");
    EXPECT_EQ(test::ListFolder(dir.Path()), std::vector<std::string>{"site.trvx"});
}

TEST(ProjectCommandsTest, FailedOpenLeavesEmptyListsAndOldPath) {
    const test::TempDir dir;
    test::WriteBytes(dir / "foreign.trvx", "trelvonix quillstamper project\r\n");
    test::WriteBytes(dir / "cut.trvx", "Trelvonix Quillstamper Project\r\n=\r\n\r\na.html\r\n");
    // No outcome: the command ends with a FileError.
    const std::pair<std::optional<std::string>, std::optional<Outcome>> cases[] = {
        {std::nullopt, Outcome::Cancelled},
        {dir / "foreign.trvx", Outcome::Refused},
        {dir / "cut.trvx", Outcome::Refused},
        {dir / "missing.trvx", std::nullopt}};
    for (const auto& [choice, outcome] : cases) {
        Workspace workspace = Filled("/old.trvx");
        SCOPED_TRACE(choice.value_or("cancelled"));
        if (!outcome) {
            EXPECT_THROW(OpenProject(workspace, FakeDialog{choice}.Ask()), FileError);
        } else {
            EXPECT_EQ(OpenProject(workspace, FakeDialog{choice}.Ask()).outcome, outcome);
        }
        EXPECT_TRUE(workspace.m_webFiles.empty() && workspace.m_templateFiles.empty());
        EXPECT_EQ(workspace.m_counts, "Web Files: 0        Template Files: 0");
        EXPECT_EQ(workspace.m_projectPath, "/old.trvx");
        EXPECT_EQ(workspace.m_identifiers, kIdentifiers);
    }
}

TEST(WorkspaceTest, NewProjectEmptiesOnlyTheLists) {
    Workspace workspace;
    EXPECT_EQ(workspace.m_pathBreak, 32);
    EXPECT_EQ(workspace.m_counts, "Web Files: 0        Template Files: 0");
    workspace.m_webFiles = {"/s/a.html", "/s/a.html"};
    workspace.m_templateFiles = {"/s/a.html"};
    workspace.m_identifiers[6] = "%% ";
    workspace.m_projectPath = "/s/site.trvx";
    RefreshCounts(workspace);
    EXPECT_EQ(workspace.m_counts, "Web Files: 2        Template Files: 1");
    NewProject(workspace);
    EXPECT_TRUE(workspace.m_webFiles.empty() && workspace.m_templateFiles.empty());
    EXPECT_EQ(workspace.m_counts, "Web Files: 0        Template Files: 0");
    EXPECT_EQ(workspace.m_identifiers[6], "%% ");
    EXPECT_EQ(workspace.m_projectPath, "/s/site.trvx");
    EXPECT_EQ(ProjectBaseFolder(workspace), "/s");
}
TEST(WorkspaceTest, RemoveListEntriesKeepsTheOthersInOrder) {
    const FileList list = {"/a", "/b", "/a", "/c", "/d"};
    const struct {
        std::vector<std::size_t> places;
        FileList left;
    } cases[] = {
        {{}, list},
        {{2}, {"/a", "/b", "/c", "/d"}},
        {{4, 0, 3}, {"/b", "/a"}},
        {{1, 1, 9}, {"/a", "/a", "/c", "/d"}},
        {{0, 1, 2, 3, 4}, {}},
    };
    for (const auto& c : cases) {
        FileList files = list;
        RemoveListEntries(files, c.places);
        EXPECT_EQ(files, c.left) << testing::PrintToString(c.places);
    }
}

} // namespace
} // namespace quillstamper
