// Find Repeated Parts through the real window: the parts listed, the
// selected one's lines, and Wrap..., which writes only from Preview Changes.

#include "app/preview_dlg.h"
#include "app/quillstamper_dlg.h"
#include "app/window_fixture.h"
#include "options/repeated_parts_dlg.h"
#include "support/test_files.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace quillstamper {

namespace {

using test::Q;
using test::ReadBytes;
using test::RunAs;
using test::ScriptedPlatform;
using test::TempDir;
using test::WriteBytes;

const std::string kNav = "<nav>\r\n<a href=\"a.html\">A</a>\r\n<a href=\"b.html\">B</a>\r\n"
                         "</nav>\r\n";
const std::string kVariant = "<nav>\r\n<a href=\"a.html\">A</a>\r\n<a href=\"c.html\">C</a>\r\n"
                             "<a href=\"b.html\">B</a>\r\n</nav>\r\n";

} // namespace

class RepeatedPartsDlgTest : public QObject {
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

    // Close in the preview writes nothing; Wrap there writes the pages and the
    // template and lists the template file.
    void listsPartsAndWrapsOnlyFromThePreview() {
        TempDir dir;
        const std::string pages[] = {dir / "a.html", dir / "b.html", dir / "c.html"};
        const std::string texts[] = {"<p>1</p>\r\n" + kNav, "<p>2</p>\r\n" + kNav + "<p>x</p>\r\n",
                                     "<p>3</p>\r\n" + kVariant};
        for (int i = 0; i < 3; ++i) {
            WriteBytes(pages[i], texts[i]);
        }
        test::OpenProject(
            *m_dlg, *m_fake,
            test::WriteProject(dir / "site.trvx", {"a.html", "b.html", "c.html"}, {}));
        for (const bool wrap : {false, true}) {
            m_fake->dialogRuns.push_back(RunAs<CRepeatedPartsDlg>([](CRepeatedPartsDlg& dialog) {
                QCOMPARE(dialog.PartList()->topLevelItemCount(), 1);
                const QTreeWidgetItem* item = dialog.PartList()->topLevelItem(0);
                QCOMPARE(QStringList({item->text(0), item->text(1), item->text(2), item->text(3)}),
                         QStringList({"nav", "4", "2", "1"}));
                const QString shown = dialog.TextView()->toPlainText();
                QVERIFY2(shown.startsWith("<nav>\n<a href=\"a.html\">A</a>"), qPrintable(shown));
                QVERIFY2(shown.contains("+<a href=\"c.html\">C</a>"), qPrintable(shown));
                QCOMPARE(dialog.NameEdit()->text(), QString("nav"));
                dialog.NameEdit()->setText("menu");
                dialog.TemplateEdit()->setText("t/blocks.html");
                dialog.WrapButton()->click();
            }));
            m_fake->dialogRuns.push_back(RunAs<CPreviewDlg>([wrap](CPreviewDlg& preview) {
                QCOMPARE(preview.FileList()->topLevelItemCount(), 3); // two pages, the template
                QCOMPARE(preview.DynamizeButton()->text(), QString("Wrap"));
                (wrap ? preview.DynamizeButton() : preview.CloseButton())->click();
            }));
            test::Trigger(*m_dlg, "&Find Repeated Parts...");
            QCOMPARE(ReadBytes(pages[1]) == texts[1], !wrap);
        }
        QCOMPARE(ReadBytes(pages[0]), "<p>1</p>\r\n<!-- Trelvonix menu -->\r\n" + kNav +
                                          "<!-- Trelvonix menu end -->\r\n");
        QCOMPARE(ReadBytes(pages[2]), texts[2]); // a variant: wrapped only when asked
        QCOMPARE(ReadBytes(dir / "t/blocks.html"),
                 "<!-- Trelvonix menu -->\r\n" + kNav + "<!-- Trelvonix menu end -->\r\n");
        QCOMPARE(m_dlg->GetWorkspace().m_templateFiles, FileList({"t/blocks.html"}));
    }

private:
    std::unique_ptr<ScriptedPlatform> m_fake;
    std::unique_ptr<CQuillstamperDlg> m_dlg;
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::RepeatedPartsDlgTest)
#include "repeated_parts_dlg_test.moc"
