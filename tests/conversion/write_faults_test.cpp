// Writes that fail at each step of a replacement, injected through the write
// layer's seam, and on a file system that really fills up: the page or
// project file in hand keeps its old content, the error names it and the
// cause, the run stops there, and no temporary file is left.

#include "conversion/conversion_run.h"
#include "files/atomic_write.h"
#include "project/project_file.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <sys/mount.h>
#endif

namespace quillstamper::test {
namespace {

const std::string kTemplate =
    "<!-- Trelvonix menu -->\r\nnew menu\r\n<!-- Trelvonix menu end -->\r\n";

std::string Page(const std::string& menu) {
    return "<!-- Trelvonix menu -->\r\n" + menu + "\r\n<!-- Trelvonix menu end -->\r\n";
}

// Fails one step for one file, and removes the hook when the test ends.
class FaultAt {
public:
    FaultAt(WriteStage stage, std::string fileSuffix, int error) {
        SetWriteFaultHook([=](WriteStage current, const std::string& path) {
            const bool hit =
                current == stage && path.size() >= fileSuffix.size() &&
                path.compare(path.size() - fileSuffix.size(), fileSuffix.size(), fileSuffix) == 0;
            return hit ? error : 0;
        });
    }
    ~FaultAt() {
        SetWriteFaultHook({});
    }
};

bool HasTemporary(const std::string& folder) {
    for (const std::string& name : ListFolder(folder)) {
        if (name.find(".qs-") != std::string::npos) {
            return true;
        }
    }
    return false;
}

const WriteStage kStages[] = {WriteStage::CreateTemporary, WriteStage::Write, WriteStage::Flush,
                              WriteStage::Rename};

TEST(WriteFaultTest, EachFailingStepStopsTheRunAtThePageInHand) {
    for (const WriteStage stage : kStages) {
        SCOPED_TRACE(static_cast<int>(stage));
        const TempDir dir;
        for (const char* name : {"a.html", "b.html", "c.html"}) {
            WriteBytes(dir / name, Page("old"));
        }
        WriteBytes(dir / "menu.tpl", kTemplate);
        const FaultAt fault(stage, "b.html", ENOSPC);
        const ConversionResult result = RunConversion(
            {{{"a.html", "b.html", "c.html"}, {"menu.tpl"}, DefaultIdentifiers()}, dir.Path()});
        ASSERT_TRUE(result.error.has_value());
        EXPECT_EQ(result.error->File(), dir / "b.html");
        EXPECT_NE(result.error->Cause().find(std::strerror(ENOSPC)), std::string::npos);
        EXPECT_EQ(result.outcomes, std::vector<FileOutcome>{FileOutcome::Updated});
        EXPECT_EQ(ReadBytes(dir / "a.html"), Page("new menu"));
        EXPECT_EQ(ReadBytes(dir / "b.html"), Page("old"));
        EXPECT_EQ(ReadBytes(dir / "c.html"), Page("old"));
        EXPECT_FALSE(HasTemporary(dir.Path()));
    }
}

TEST(WriteFaultTest, ProjectFileKeepsItsContentWhenSavingFails) {
    for (const WriteStage stage : kStages) {
        SCOPED_TRACE(static_cast<int>(stage));
        const TempDir dir;
        const SiteDefinition old{{"old.html"}, {"old.tpl"}, DefaultIdentifiers()};
        WriteBytes(dir / "site.trvx", FormatProjectFile(old));
        const FaultAt fault(stage, "site.trvx", EIO);
        EXPECT_THROW(WriteProjectFile(dir / "site.trvx", {{"new.html"}, {}, DefaultIdentifiers()}),
                     FileError);
        EXPECT_EQ(ReadBytes(dir / "site.trvx"), FormatProjectFile(old));
        EXPECT_FALSE(HasTemporary(dir.Path()));
    }
}

// A file system of 64 KiB: the new page does not fit beside the old one.
TEST(WriteFaultTest, FullFileSystemKeepsThePage) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows: no small file system to mount";
#else
    const TempDir dir;
    const std::string mountPoint = dir / "tiny";
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    }
    const std::string oldPage = "<!-- Trelvonix big -->\r\n" + std::string(36 * 1024, 'o') +
                                "\r\n<!-- Trelvonix big end -->\r\n";
    WriteBytes(mountPoint + "/small.html", Page("old"));
    WriteBytes(mountPoint + "/big.html", oldPage);
    WriteBytes(dir / "menu.tpl", kTemplate + "<!-- Trelvonix big -->\r\n" +
                                     std::string(40 * 1024, 'n') +
                                     "\r\n<!-- Trelvonix big end -->\r\n");
    const ConversionResult result =
        RunConversion({{{mountPoint + "/small.html", mountPoint + "/big.html"},
                        {dir / "menu.tpl"},
                        DefaultIdentifiers()},
                       {}});
    const std::string small = ReadBytes(mountPoint + "/small.html");
    const std::string big = ReadBytes(mountPoint + "/big.html");
    const bool temporary = HasTemporary(mountPoint);
    ::umount(mountPoint.c_str());
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->File(), mountPoint + "/big.html");
    EXPECT_NE(result.error->Cause().find(std::strerror(ENOSPC)), std::string::npos);
    EXPECT_EQ(big, oldPage);
    EXPECT_EQ(small, Page("new menu"));
    EXPECT_FALSE(temporary);
#endif
}

} // namespace
} // namespace quillstamper::test
