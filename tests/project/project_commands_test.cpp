#include "project/project_commands.h"

#include "project/project_file.h"
#include "support/test_files.h"
#include "workspace/file_error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillstamper {
namespace {

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
    ASSERT_EQ(::chmod((dir / "site.trvx").c_str(), 0600), 0);
    NewProject(workspace);
    EXPECT_TRUE(SaveProjectFile(workspace, false, dialog.Ask()));
    EXPECT_EQ(dialog.shown, 3);
    EXPECT_EQ(test::ReadBytes(dir / "site.trvx"), FormatProjectFile({{}, {}, kIdentifiers}));
    EXPECT_EQ(test::PermissionBits(dir / "site.trvx"), 0600u);
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

} // namespace
} // namespace quillstamper
