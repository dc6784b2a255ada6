#include "conversion/conversion_run.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

namespace quillstamper::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kFoot = "<!-- Trelvonix foot -->";
const std::string kHashFoot = "# Trelvonix foot";

std::string Text(const Strings& lines, const std::string& lineBreak = "\r\n") {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + lineBreak;
    return bytes;
}

// "web a.htm:8 <start line>" per problem.
Strings Problems(const ConversionResult& result) {
    Strings rows;
    for (const UnclosedBlock& p : result.problems)
        rows.push_back((p.place == UnclosedBlock::Place::WebFile ? "web " : "template ") + p.file +
                       ":" + std::to_string(p.line) + " " + p.startLine);
    return rows;
}

struct Recorder : ConversionObserver {
    Strings passes;
    Strings files;
    void OnPassStarted(const std::string& entry, int pair) override {
        passes.push_back(entry + " " + std::to_string(pair));
    }
    void OnFileConverted(std::size_t, const std::string& entry, std::string_view oldBytes,
                         std::string_view newBytes, FileOutcome outcome) override {
        files.push_back(entry + "|" + std::string(oldBytes) + "|" + std::string(newBytes) +
                        (outcome == FileOutcome::Updated ? "|updated" : "|unchanged"));
    }
};

// Entries are names in dir.
ConversionResult Convert(const TempDir& dir, FileList web, FileList templates,
                         ConversionObserver* observer = nullptr, bool write = true,
                         const IdentifierTable& ids = DefaultIdentifiers()) {
    return RunConversion(ConversionRequest{{web, templates, ids}, dir.Path(), write}, observer);
}

TEST(ConversionRunTest, EmptyListFailsPreconditionWithoutReadingAnyFile) {
    Recorder recorder;
    for (const auto& [web, templates] :
         {std::pair<FileList, FileList>{{}, {"/none/t", "/none/u"}}, {{"/none/w"}, {}}}) {
        const ConversionResult result =
            RunConversion(ConversionRequest{{web, templates, DefaultIdentifiers()}, ""}, &recorder);
        EXPECT_TRUE(result.preconditionFailed);
        EXPECT_FALSE(result.error); // reading the missing files would have failed
        EXPECT_TRUE(result.outcomes.empty());
    }
    EXPECT_TRUE(recorder.passes.empty());
    EXPECT_EQ(FormatPreconditionMessage(0, 2),
              "You added 0 Web Files and 2 Template Files!\n\nYou need one of each at least for "
              "starting the conversion process!");
}

TEST(ConversionRunTest, OnlyFilesWhoseBytesChangeAreWrittenAndTheObserverSeesEveryStep) {
    const TempDir dir;
    WriteBytes(dir / "t.htm", Text({kMenu, "new", kMenuEnd}, "\n"));
    WriteBytes(dir / "same.htm", Text({"top", kMenu, "new", kMenuEnd}));
    WriteBytes(dir / "empty.htm", "");
    WriteBytes(dir / "lf.htm", "plain\nlast");
    // Nanoseconds in steps of 100, as Windows keeps them.
    const timespec old[2] = {{1000000000, 123456700}, {1000000000, 123456700}};
    for (const char* name : {"same.htm", "empty.htm"})
        SetModificationTime(dir / name, old[1]);
    // Pair 2 has no start identifier and takes no part; pair 4 does.
    const IdentifierTable ids{"<!-- Trelvonix ", " end -->", "",   " end -->",
                              "// Trelvonix ",   " end -->", "@ ", " @"};

    Recorder recorder;
    Convert(dir, {"same.htm", "empty.htm", "lf.htm", "lf.htm"}, {"t.htm"}, &recorder, true, ids);
    EXPECT_EQ(recorder.passes, (Strings{"same.htm 1", "same.htm 3", "same.htm 4", "empty.htm 1",
                                        "empty.htm 3", "empty.htm 4", "lf.htm 1", "lf.htm 3",
                                        "lf.htm 4", "lf.htm 1", "lf.htm 3", "lf.htm 4"}));
    const std::string same = Text({"top", kMenu, "new", kMenuEnd});
    EXPECT_EQ(recorder.files,
              (Strings{"same.htm|" + same + "|" + same + "|unchanged", "empty.htm|||unchanged",
                       "lf.htm|plain\nlast|plain\r\nlast\r\n|updated",
                       "lf.htm|plain\r\nlast\r\n|plain\r\nlast\r\n|unchanged"}));
    for (const char* name : {"same.htm", "empty.htm"}) {
        EXPECT_EQ(ModificationTime(dir / name).tv_sec, old[1].tv_sec) << name;
        EXPECT_EQ(ModificationTime(dir / name).tv_nsec, old[1].tv_nsec) << name;
    }
    EXPECT_EQ(ReadBytes(dir / "empty.htm"), "");
    EXPECT_EQ(ReadBytes(dir / "lf.htm"), "plain\r\nlast\r\n");
}

TEST(ConversionRunTest, UnclosedWebBlockIsLeftAsThePassReadItAndTheRunGoesOn) {
    const TempDir dir;
    const Strings slash{"// Trelvonix s", "S", "// Trelvonix s end -->"};
    const Strings hash{"# Trelvonix h", "H", "# Trelvonix h end -->"};
    WriteBytes(dir / "t.htm",
               Text({kMenu, "n1", "n2", kMenuEnd, kHashFoot, "F", kHashFoot + " end -->", slash[0],
                     slash[1], slash[2], hash[0], hash[1], hash[2]}));
    // Pass 1 adds a line, so the open hash block stands on line 10 in pass 2,
    // after a hash block that pass 2 fills; it is reported where it stands in
    // the file.
    WriteBytes(dir / "a.htm", Text({kMenu, "old", kMenuEnd, slash[0], "o", slash[2], hash[0],
                                    hash[2], kHashFoot, "stale"},
                                   "\n"));
    WriteBytes(dir / "b.htm", Text({kMenu, kMenuEnd}));

    const ConversionResult result = Convert(dir, {"a.htm", "b.htm"}, {"t.htm"});
    EXPECT_FALSE(result.error);
    EXPECT_EQ(Problems(result), Strings{"web a.htm:9 " + kHashFoot});
    // The pair 3 pass after it and the next file are converted as usual.
    EXPECT_EQ(ReadBytes(dir / "a.htm"),
              Text({kMenu, "n1", "n2", kMenuEnd, slash[0], slash[1], slash[2], hash[0], hash[1],
                    hash[2], kHashFoot, "stale"}));
    EXPECT_EQ(ReadBytes(dir / "b.htm"), Text({kMenu, "n1", "n2", kMenuEnd}));
}

TEST(ConversionRunTest, UnclosedTemplateBlockIsUnusableForTheWholeRunAndReportedOnce) {
    const TempDir dir;
    const std::string footEnd = "<!-- Trelvonix foot end -->";
    WriteBytes(dir / "t1.htm", Text({kMenu, "M", kMenuEnd, kFoot, "F"}));
    WriteBytes(dir / "t2.htm", Text({kFoot, "G", footEnd}));
    WriteBytes(dir / "a.htm", Text({kFoot, "a", footEnd, kMenu, kMenuEnd}, "\n"));
    WriteBytes(dir / "b.htm", Text({kFoot, "b", footEnd}, "\n"));

    const ConversionResult result = Convert(dir, {"a.htm", "b.htm", "a.htm"}, {"t1.htm", "t2.htm"});
    EXPECT_FALSE(result.error);
    EXPECT_EQ(Problems(result), Strings{"template t1.htm:4 " + kFoot});
    EXPECT_EQ(ReadBytes(dir / "a.htm"), Text({kFoot, "a", footEnd, kMenu, "M", kMenuEnd}));
    EXPECT_EQ(ReadBytes(dir / "b.htm"), Text({kFoot, "b", footEnd}));
}

TEST(ConversionRunTest, MissingFileEndsTheRunOnlyWhereItIsRead) {
    const TempDir dir;
    WriteBytes(dir / "t.htm", Text({kMenu, "new", kMenuEnd}));
    WriteBytes(dir / "plain.htm", "plain\n");
    WriteBytes(dir / "a.htm", Text({kMenu, kMenuEnd}, "\n"));
    WriteBytes(dir / "c.htm", Text({kMenu, kMenuEnd}, "\n"));

    // Templates are read only to look up a start line.
    EXPECT_FALSE(Convert(dir, {"plain.htm"}, {"missing.htm"}).error);
    EXPECT_EQ(ReadBytes(dir / "plain.htm"), "plain\r\n");
    const ConversionResult noTemplate = Convert(dir, {"a.htm"}, {"missing.htm"});
    ASSERT_TRUE(noTemplate.error);
    EXPECT_EQ(noTemplate.error->File(), dir / "missing.htm");
    EXPECT_EQ(ReadBytes(dir / "a.htm"), Text({kMenu, kMenuEnd}, "\n"));

    const ConversionResult noWeb = Convert(dir, {"a.htm", "gone.htm", "c.htm"}, {"t.htm"});
    ASSERT_TRUE(noWeb.error);
    EXPECT_EQ(noWeb.error->File(), dir / "gone.htm");
    EXPECT_EQ(noWeb.outcomes, std::vector<FileOutcome>{FileOutcome::Updated});
    EXPECT_EQ(ReadBytes(dir / "a.htm"), Text({kMenu, "new", kMenuEnd}));
    EXPECT_EQ(ReadBytes(dir / "c.htm"), Text({kMenu, kMenuEnd}, "\n"));
}

TEST(ConversionRunTest, WebFileThatCannotBeWrittenEndsTheRunAndKeepsItsBytes) {
    SKIP_ON_WINDOWS_IF_PRIVILEGED();
    const TempDir dir;
    WriteBytes(dir / "t.htm", Text({kMenu, "new", kMenuEnd}));
    WriteBytes(dir / "a.htm", Text({kMenu, "old", kMenuEnd}));
    ASSERT_EQ(::chmod((dir / "a.htm").c_str(), 0444), 0);

    EXPECT_EQ(RunAsUnprivileged([&] {
                  const ConversionResult result = Convert(dir, {"a.htm"}, {"t.htm"});
                  return result.error && result.error->File() == dir / "a.htm" ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadBytes(dir / "a.htm"), Text({kMenu, "old", kMenuEnd}));
    EXPECT_EQ(ListFolder(dir.Path()), (Strings{"a.htm", "t.htm"}));
}

// A page that is its own template, with one block 16 times, gets all copies'
// content in each: every conversion multiplies the page by 16. The run stops
// it with an error before it takes all memory.
// Pages converted ahead on several threads give what one thread gives, in
// the same order, also where the run's own writes change what later pages
// read: a page listed twice or under another name, a page that is also a
// template, hard links, unclosed blocks, notes, and more pages than one round.
TEST(ConversionRunTest, SeveralThreadsGiveWhatOneGives) {
    const auto makeSite = [](const TempDir& dir) {
        // Converted as a page, t.htm gets a second copy of the inner block,
        // which the pages after it receive.
        const Strings inner = {"# Trelvonix inner", "inner", "# Trelvonix inner end -->"};
        WriteBytes(dir / "t.htm", Text({kMenu, "menu", kMenuEnd, inner[0], inner[1], inner[2],
                                        kFoot, "foot", "<!-- Trelvonix foot end -->"}));
        WriteBytes(dir / "t2.htm", Text(inner));
        FileList web;
        for (int i = 0; i < 70; ++i) {
            const std::string name = "p" + std::to_string(i) + ".htm";
            Strings lines = {"page " + std::to_string(i), kMenu, "old", kMenuEnd};
            if (i % 7 == 3)
                lines = {kFoot, "open"}; // unclosed
            if (i % 11 == 5)
                lines.push_back("  " + kMenu); // an indented marker: a note
            if (i % 3 == 0)
                lines.insert(lines.end(), {"# Trelvonix inner", "# Trelvonix inner end -->"});
            WriteBytes(dir / name, Text(lines, i % 2 ? "\n" : "\r\n"));
            web.push_back(name);
        }
        web.insert(web.begin() + 40, "p10.htm");   // listed twice
        web.insert(web.begin() + 50, "./p20.htm"); // another spelling
        web.insert(web.begin() + 60, "t.htm");     // a template too
        std::error_code error; // a file system without hard links leaves this one out
        std::filesystem::create_hard_link(dir / "p30.htm", dir / "hard.htm", error);
        if (!error)
            web.push_back("hard.htm");
        return web;
    };
    struct Run {
        ConversionResult result;
        Recorder recorder;
        Strings bytes;
    };
    const auto run = [&](unsigned threads, bool write, bool check) {
        const TempDir dir;
        const FileList web = makeSite(dir);
        Run out;
        ConversionRequest request{
            {web, {"t.htm", "t2.htm"}, DefaultIdentifiers()}, dir.Path(), write};
        request.threads = threads;
        request.checkNotes = check;
        out.result = RunConversion(request, &out.recorder);
        for (const std::string& name : web)
            out.bytes.push_back(ReadBytes(dir / name));
        return out;
    };
    for (const bool write : {true, false}) {
        const Run one = run(1, write, !write);
        EXPECT_EQ(one.result.pagesConvertedAhead, 0u);
        for (const unsigned threads : {2u, 3u}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, write " << write);
            const Run many = run(threads, write, !write);
            EXPECT_GT(many.result.pagesConvertedAhead, 50u);
            EXPECT_EQ(many.result.outcomes, one.result.outcomes);
            EXPECT_EQ(Problems(many.result), Problems(one.result));
            ASSERT_EQ(many.result.notes.size(), one.result.notes.size());
            for (std::size_t i = 0; i < one.result.notes.size(); ++i) {
                EXPECT_EQ(many.result.notes[i].file, one.result.notes[i].file);
                EXPECT_EQ(many.result.notes[i].line, one.result.notes[i].line);
            }
            EXPECT_EQ(many.recorder.passes, one.recorder.passes);
            EXPECT_EQ(many.recorder.files, one.recorder.files);
            EXPECT_EQ(many.bytes, one.bytes);
            EXPECT_EQ(many.result.hardLinks.size(), one.result.hardLinks.size());
        }
    }
}

TEST(ConversionGrowthTest, APageThatIsItsOwnTemplateIsStoppedBeforeMemoryRunsOut) {
    const TempDir dir;
    const std::string block =
        "# Trelvonix a\r\n" + std::string(1100, 'x') + "\r\n# Trelvonix a end -->\r\n";
    std::string page;
    for (int i = 0; i < 16; ++i)
        page += block;
    WriteBytes(dir / "self.html", page);
    const ConversionResult result = RunConversion(
        {{FileList(8, "self.html"), {"self.html"}, DefaultIdentifiers()}, dir.Path()});
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->File(), dir / "self.html");
    EXPECT_NE(result.error->Cause().find("its own template"), std::string::npos);
    // From 16 long lines to 256 and 4096 (4.5 MB); the next would add 72 MB.
    EXPECT_EQ(result.outcomes.size(), 2u);
    const std::string bytes = ReadBytes(dir / "self.html");
    std::size_t longLines = 0;
    for (std::size_t at = bytes.find("x\r"); at != std::string::npos;
         at = bytes.find("x\r", at + 1))
        ++longLines;
    EXPECT_EQ(longLines, 4096u);
}

} // namespace
} // namespace quillstamper::test
