#include "options/project_settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace quillstamper {

class ProjectSettingsDlgTest : public QObject {
    Q_OBJECT

private slots:
    // The controls show the settings handed in, whatever they are; only OK
    // takes what was chosen, Cancel gives back what came in.
    void showsTheSettingsAndOkAloneTakesTheChoice() {
        const LineEnds lineEnds[] = {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep};
        const QStringList texts = {"CR LF (Windows)", "LF (Linux, macOS)", "As each page has them"};
        for (int shown = 0; shown < 3; ++shown) {
            for (const bool anyShown : {false, true}) {
                for (const bool ok : {false, true}) {
                    // The text choice follows the end lines' one, to vary it too.
                    const ProjectSettings in{lineEnds[shown],
                                             anyShown ? EndLines::Any : EndLines::Own,
                                             anyShown ? TextMode::Bytes : TextMode::Convert};
                    CProjectSettingsDlg dialog(in);
                    QComboBox* box = dialog.LineEndsBox();
                    QStringList items;
                    for (int item = 0; item < box->count(); ++item) {
                        items << box->itemText(item);
                    }
                    QCOMPARE(items, texts);
                    QCOMPARE(box->currentIndex(), shown);
                    QCOMPARE(dialog.AnyEndLineBox()->text(),
                             QString("Any line ending with the end identifier closes a block"));
                    QCOMPARE(dialog.AnyEndLineBox()->isChecked(), anyShown);
                    QCOMPARE(dialog.TextBox()->currentIndex(), anyShown ? 1 : 0);
                    QCOMPARE(dialog.TextBox()->itemText(0),
                             QString("Converted to the page's charset"));
                    QCOMPARE(dialog.TextBox()->itemText(1), QString("Copied as bytes"));

                    const int chosen = (shown + 1) % 3;
                    box->setCurrentIndex(chosen);
                    dialog.AnyEndLineBox()->setChecked(!anyShown);
                    dialog.TextBox()->setCurrentIndex(anyShown ? 0 : 1);
                    auto* buttons = dialog.findChild<QDialogButtonBox*>();
                    buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
                    const ProjectSettings expected =
                        ok ? ProjectSettings{lineEnds[chosen],
                                             anyShown ? EndLines::Own : EndLines::Any,
                                             anyShown ? TextMode::Convert : TextMode::Bytes}
                           : in;
                    QVERIFY(dialog.Settings() == expected);
                    QCOMPARE(dialog.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
                }
            }
        }
    }

    // The link settings show what came in; Browse... fills the link base with
    // what the window's folder dialog gave; a class mark needs a class name.
    void linkSettingsShowTheCopyAndBrowseFillsTheLinkBase() {
        const ProjectSettings in{.linksFollowPage = true,
                                 .linkBase = "site",
                                 .currentPage = CurrentPageMark::Class,
                                 .currentPageClass = "active"};
        int asked = 0;
        CProjectSettingsDlg dialog(in, nullptr, [&]() -> std::optional<std::string> {
            return ++asked == 1 ? std::optional<std::string>("www/root") : std::nullopt;
        });
        QVERIFY(dialog.LinksBox()->isChecked());
        QCOMPARE(dialog.LinkBaseEdit()->text(), QString("site"));
        QCOMPARE(dialog.CurrentPageBox()->currentIndex(), 2);
        QCOMPARE(dialog.CurrentPageClassEdit()->text(), QString("active"));
        dialog.BrowseButton()->click();
        QCOMPARE(dialog.LinkBaseEdit()->text(), QString("www/root"));
        dialog.BrowseButton()->click(); // cancelled: the field stays
        QCOMPARE(dialog.LinkBaseEdit()->text(), QString("www/root"));
        dialog.CurrentPageClassEdit()->setText(" on ");
        static_cast<QDialog&>(dialog).accept();
        QVERIFY((dialog.Settings() == ProjectSettings{.linksFollowPage = true,
                                                      .linkBase = "www/root",
                                                      .currentPage = CurrentPageMark::Class,
                                                      .currentPageClass = "on"}));

        CProjectSettingsDlg noName(in);
        noName.CurrentPageClassEdit()->clear();
        noName.LinksBox()->setChecked(false);
        QVERIFY(!noName.LinkBaseEdit()->isEnabled());
        static_cast<QDialog&>(noName).accept();
        QCOMPARE(noName.Settings().currentPage, CurrentPageMark::None);
        QVERIFY(!noName.Settings().linksFollowPage);
    }
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::ProjectSettingsDlgTest)
#include "project_settings_dlg_test.moc"
