// What dynamize puts in its report from a run's result.

#include "cli/report_content.h"
#include "cli/report_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

using namespace quillstamper;
using namespace quillstamper::cli;
using Outcome = ReportFile::Outcome;

// A page listed twice that another program changed while its first place
// was converted: left there, updated at its second place, and said once.
TEST(ReportContentTest, PageChangedWhileConvertingKeepsALaterUpdate) {
    ConversionRequest request{{{"p.html", "q.html", "p.html"}, {"t.tpl"}}, "/site"};
    ConversionResult result;
    result.outcomes = {FileOutcome::Unchanged, FileOutcome::Unchanged, FileOutcome::Updated};
    result.changedWhileConverting = {"p.html"};
    RunReport report = StartReport("dynamize", "/site");
    AddDynamizeResult(report, std::move(request), result, false, {});
    std::vector<Outcome> outcomes;
    for (const ReportFile& file : report.files) {
        outcomes.push_back(file.outcome);
    }
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::ChangedWhileConverting, Outcome::Unchanged,
                                              Outcome::Updated}));
    EXPECT_EQ(report.exitStatus, 2);
    std::ostringstream out, err;
    PrintTextReport(report, false, out, err);
    EXPECT_EQ(out.str(), "updated p.html\nConversion done! 1 updated, 2 unchanged.\n");
    EXPECT_EQ(err.str(), "p.html: changed while converting; left as it is\n");
}

} // namespace
