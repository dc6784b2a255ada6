// Preview Changes through the real window: what the dry run shows, and that
// its Dynamize! writes exactly that while Close writes nothing.

#include "app/preview_dlg.h"
#include "app/quillstamper_dlg.h"
#include "app/window_fixture.h"
#include "base/shorten_path.h"
#include "diff/unified_diff.h"
#include "files/recovery_store.h"
#include "support/markers.h"
#include "support/test_files.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>

#include <map>
#include <memory>

namespace quillstamper {

namespace {

using test::kMenu;
using test::kMenuEnd;
using test::Q;
using test::ReadBytes;
using test::RunAs;
using test::ScriptedPlatform;
using test::TempDir;
using test::WriteBytes;

const QChar kCrSign(0x240D);

// A diff as the view holds it: carriage returns show as a sign.
QString InView(const std::string& diff) {
    return Q(diff).replace('\r', kCrSign);
}

// What the preview shows, taken while it is open.
struct Shown {
    QString count;
    QStringList files;   // "display|changed lines"
    QStringList reports; // the problems, then the notes
    QString diff;
};

Shown Take(const CPreviewDlg& preview) {
    Shown shown{preview.CountLabel()->text(), {}, {}, preview.DiffView()->toPlainText()};
    for (int row = 0; row < preview.FileList()->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = preview.FileList()->topLevelItem(row);
        shown.files << item->text(0) + '|' + item->text(1);
    }
    for (int row = 0; row < preview.ReportList()->count(); ++row) {
        shown.reports << preview.ReportList()->item(row)->text();
    }
    return shown;
}

// The colour the diff view paints a line's character at `at` in (-1: the last).
QColor LineColour(const CPreviewDlg& preview, const QString& line, int at = 0) {
    const QTextDocument* document = preview.DiffView()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().startsWith(line)) {
            at = at < 0 ? block.length() - 2 : at;
            for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
                if (range.start <= at && at < range.start + range.length) {
                    return range.format.foreground().color();
                }
            }
            return QColor();
        }
    }
    return QColor();
}

} // namespace

class PreviewDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_fake = std::make_unique<ScriptedPlatform>();
        m_dlg = std::make_unique<CQuillstamperDlg>(*m_fake);
        m_fake->window = m_dlg.get();
    }

    void cleanup() {
        m_dlg.reset();
        QVERIFY(m_fake->AllAnswersUsed());
        QVERIFY2(m_fake->messages.isEmpty(), qPrintable(m_fake->messages.join('/')));
    }

    void menuItemFollowsCheckWithCtrlP() {
        const QList<QAction*> tools = m_dlg->MenuBar()->actions()[1]->menu()->actions();
        QStringList texts;
        for (const QAction* action : tools) {
            texts << action->text();
        }
        QCOMPARE(texts,
                 QStringList({"&Options", "Project &Settings...", "", "&Check Files for Errors",
                              "&Preview Changes...", "&Find Repeated Parts..."}));
        QCOMPARE(tools[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    }

    // Two pages change, one is current, one has an unclosed block; a block no
    // template holds is a note. Close writes nothing; Dynamize! writes what was shown.
    void showsWhatWouldChangeAndDynamizeWritesExactlyThat() {
        TempDir dir;
        const std::string changed = dir / "a.htm", current = dir / "b.htm", noted = dir / "c.htm",
                          open = dir / "d.htm";
        const std::string side = "<!-- Trelvonix side -->";
        const std::string sideBlock = side + "\r\nx\r\n<!-- Trelvonix side end -->\r\n";
        const std::string newBlock = kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n";
        const std::map<std::string, std::string> before = {
            {changed, "top\r\n" + kMenu + "\r\nold\r\n" + kMenuEnd + "\r\nbottom\r\n"},
            {current, newBlock},
            {noted, sideBlock + kMenu + "\r\n" + kMenuEnd + "\r\n"},
            {open, kMenu + "\r\nkept\r\n"}};
        for (const auto& [path, bytes] : before) {
            WriteBytes(path, bytes);
        }
        WriteBytes(dir / "menu.txt", newBlock);
        Add(true, {Q(changed), Q(current), Q(noted), Q(open)});
        Add(false, {Q(dir / "menu.txt")});

        std::vector<Shown> shown;
        m_fake->dialogRuns.push_back(RunAs<CPreviewDlg>([&](CPreviewDlg& preview) {
            QVERIFY(QFontInfo(preview.DiffView()->font()).fixedPitch());
            QCOMPARE(LineColour(preview, "+new"), QColor(0, 125, 0));
            QCOMPARE(LineColour(preview, "-old"), QColor(190, 0, 0));
            QCOMPARE(LineColour(preview, " bottom"), QColor());
            shown.push_back(Take(preview));
            // The note on c.htm chooses its diff; d.htm is not in the list.
            for (const int report : {1, 0}) {
                QListWidgetItem* item = preview.ReportList()->item(report);
                emit preview.ReportList()->itemDoubleClicked(item);
                shown.push_back(Take(preview));
            }
            preview.CloseButton()->click();
        }));
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        for (const auto& [path, bytes] : before) {
            QCOMPARE(ReadBytes(path), bytes);
        }

        const auto display = [](const std::string& path) { return Q(ShortenPath(path, 32)); };
        QCOMPARE(shown[0].count, QString("2 of 4 web files would change"));
        QCOMPARE(shown[0].files, QStringList({display(changed) + "|2", display(noted) + "|1"}));
        QCOMPARE(shown[0].reports,
                 QStringList({Q(open) + ":1: End of template missing: " + Q(kMenu),
                              Q(noted) + ":1: no template holds this block: " + Q(side)}));
        const std::string noteDiff =
            FormatUnifiedDiff(noted, before.at(noted), sideBlock + newBlock);
        QCOMPARE(shown[0].diff, InView(FormatUnifiedDiff(changed, before.at(changed),
                                                         "top\r\n" + newBlock + "bottom\r\n")));
        QCOMPARE(shown[1].diff, InView(noteDiff));
        QCOMPARE(shown[2].diff, InView(noteDiff));

        m_fake->dialogRuns.push_back(RunAs<CPreviewDlg>([&](CPreviewDlg& preview) {
            QCOMPARE(Take(preview).files, shown[0].files);
            preview.DynamizeButton()->click();
        }));
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        const QStringList messages = m_fake->TakeTexts(); // first the unclosed block
        QCOMPARE(messages.size(), qsizetype(2));
        QCOMPARE(messages.last(), QString("Conversion done!"));
        QCOMPARE(InView(FormatUnifiedDiff(changed, before.at(changed), ReadBytes(changed))),
                 shown[0].diff);
        QCOMPARE(InView(FormatUnifiedDiff(noted, before.at(noted), ReadBytes(noted))),
                 shown[1].diff);
        QCOMPARE(ReadBytes(current), before.at(current));
        QCOMPARE(ReadBytes(open), before.at(open));
    }

    // A page whose only change is LF to CR LF shows its carriage returns, dimmed.
    void changeOfLineEndsAloneShows() {
        TempDir dir;
        const std::string page = dir / "a.htm";
        const std::string block = kMenu + "\r\nx\r\n" + kMenuEnd + "\r\n";
        const std::string before = "top\n" + kMenu + "\nx\n" + kMenuEnd + "\n";
        WriteBytes(page, before);
        WriteBytes(dir / "menu.txt", block);
        Add(true, {Q(page)});
        Add(false, {Q(dir / "menu.txt")});
        m_fake->dialogRuns.push_back(RunAs<CPreviewDlg>([&](CPreviewDlg& preview) {
            const Shown shown = Take(preview);
            QCOMPARE(shown.files, QStringList({Q(ShortenPath(page, 32)) + "|8"}));
            QCOMPARE(shown.diff, InView(FormatUnifiedDiff(page, before, "top\r\n" + block)));
            QVERIFY(shown.diff.contains("\n-top\n"));
            QVERIFY(shown.diff.contains("\n+top" + QString(kCrSign) + '\n'));
            QCOMPARE(LineColour(preview, "+top"), QColor(0, 125, 0));
            QCOMPARE(LineColour(preview, "+top", -1), QColor(160, 160, 160));
            preview.CloseButton()->click();
        }));
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        QCOMPARE(ReadBytes(page), before);
    }

    // A page a killed run left half written is reported first, then one
    // edited since; the preview keeps their copies. Dynamize puts the first
    // back, leaves the second as edited, and names both.
    void pageAnInterruptedRunLeftIsReported() {
        TempDir dir, cache;
        const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
        const bool hadCache = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        const auto restore = qScopeGuard(
            [&] { hadCache ? qputenv("XDG_CACHE_HOME", oldCache) : qunsetenv("XDG_CACHE_HOME"); });
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.Path()));
        const std::string page = dir / "a.htm", half = kMenu + "\r\nha";
        WriteBytes(page, half);
        WriteBytes(dir / "menu.txt", kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n");
        const std::string edited = dir / "b.htm",
                          mine = "mine\r\n" + kMenu + "\r\nnew\r\n" + kMenuEnd + "\r\n";
        WriteBytes(edited, mine);
        const RecoveryStore store;
        store.Save(AbsolutePath(page), "old\r\n", half);
        const std::string copy = store.Save(AbsolutePath(edited), "old\r\n", half);
        Add(true, {Q(page), Q(edited)});
        Add(false, {Q(dir / "menu.txt")});
        QStringList reports;
        m_fake->dialogRuns.push_back(RunAs<CPreviewDlg>([&](CPreviewDlg& preview) {
            reports = Take(preview).reports;
            preview.CloseButton()->click();
        }));
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        const QString kept =
            Q(edited) + ": changed since an interrupted run; its old content is in " + Q(copy);
        QCOMPARE(reports.mid(0, 2),
                 QStringList({Q(page) + ": a run was interrupted while writing it in place; "
                                        "Dynamize puts its old content back first",
                              kept}));
        QCOMPARE(ReadBytes(page), half);
        QCOMPARE(store.List().size(), std::size_t(2));

        m_dlg->DynamizeButton()->click();
        QCOMPARE(m_fake->TakeTexts(),
                 QStringList({"These pages were put back as they were before an interrupted run, "
                              "then converted:\n\n" +
                                  Q(page),
                              "These pages were changed since an interrupted run; they were left "
                              "as they are, then converted:\n\n" +
                                  kept,
                              "Conversion done!"}));
        QCOMPARE(ReadBytes(page), std::string("old\r\n"));
        QCOMPARE(ReadBytes(edited), mine);
        QCOMPARE(store.List().size(), std::size_t(1));
    }

    void emptyListOrUnreadablePageShowsNoPreview() {
        TempDir dir;
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        Add(true, {Q(dir / "missing.htm")});
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        QCOMPARE(m_fake->TakeTexts(), QStringList({Q(FormatPreconditionMessage(0, 0)),
                                                   Q(FormatPreconditionMessage(1, 0))}));
        WriteBytes(dir / "menu.txt", kMenu + "\n" + kMenuEnd + "\n");
        Add(false, {Q(dir / "menu.txt")});
        m_dlg->MenuAction("&Preview Changes...")->trigger();
        const QStringList messages = m_fake->TakeTexts();
        QCOMPARE(messages.size(), qsizetype(1));
        QVERIFY(messages.first().startsWith('!'));
    }

private:
    void Add(bool web, const QStringList& chosen) {
        test::Add(*m_dlg, *m_fake, web, chosen);
    }

    std::unique_ptr<ScriptedPlatform> m_fake;
    std::unique_ptr<CQuillstamperDlg> m_dlg;
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::PreviewDlgTest)
#include "preview_dlg_test.moc"
