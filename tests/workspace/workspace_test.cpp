#include "workspace/workspace.h"

#include <gtest/gtest.h>

namespace quillstamper {
namespace {

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

} // namespace
} // namespace quillstamper
