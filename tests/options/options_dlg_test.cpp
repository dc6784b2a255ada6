#include "options/options_dlg.h"
#include "widgets/dialog_units.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace quillstamper {

namespace {

const IdentifierTable kDistinct = {"s1 ", " e1", "s2", "e2", "s3", "e3", "s4", "e4"};

// A dialog filled as the window fills it.
std::unique_ptr<COptionsDlg> Filled(const IdentifierTable& identifiers, int pathBreak,
                                    LineEnds lineEnds = LineEnds::CrLf) {
    auto dialog = std::make_unique<COptionsDlg>();
    dialog->m_identifiers = identifiers;
    dialog->m_pathBreak = pathBreak;
    dialog->m_lineEnds = lineEnds;
    dialog->OnInitDialog();
    return dialog;
}

QPushButton* Button(const COptionsDlg& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

void Press(const COptionsDlg& dialog, const QString& text) {
    Button(dialog, text)->click();
}

} // namespace

class OptionsDlgTest : public QObject {
    Q_OBJECT

private slots:
    // Pair 2 sits top right (1016/1017) and pair 3 bottom left (1014/1015);
    // start edits are left-aligned, end edits right-aligned.
    void editsShowTheirEntriesInTheirPlaces() {
        const auto dialog = Filled(kDistinct, 32);
        const DialogUnits units(dialog->font());
        const struct {
            int x, y;
            Qt::Alignment alignment;
        } places[] = {{15, 34, Qt::AlignLeft},  {27, 50, Qt::AlignRight},
                      {119, 34, Qt::AlignLeft}, {131, 50, Qt::AlignRight},
                      {15, 85, Qt::AlignLeft},  {27, 101, Qt::AlignRight},
                      {119, 85, Qt::AlignLeft}, {131, 101, Qt::AlignRight}};
        for (int entry = 0; entry < 8; ++entry) {
            const QLineEdit* edit = dialog->IdentifierEdit(entry);
            QCOMPARE(edit->text(), QString::fromStdString(kDistinct[entry]));
            QCOMPARE(edit->pos(),
                     units.ToPixels(places[entry].x, places[entry].y, 70, 12).topLeft());
            QCOMPARE(edit->alignment() & Qt::AlignHorizontal_Mask, places[entry].alignment);
        }
        QCOMPARE(dialog->PathBreakEdit()->text(), QString("32"));
        QCOMPARE(dialog->PathBreakEdit()->pos(), units.ToPixels(173, 141, 33, 12).topLeft());
    }

    void okStoresTextsAsTypedAndReadsThePathBreak() {
        // The text is read by place value and capped: number_text_test has the rules.
        const std::pair<const char*, int> cases[] = {{"10", 10}, {"100", 64}, {"5 ", 50}};
        IdentifierTable typed = kDistinct;
        typed[0] = "<!-- new ";
        typed[7] = "";
        for (const auto& [text, expected] : cases) {
            const auto dialog = Filled(kDistinct, 32);
            dialog->IdentifierEdit(0)->setText(QString::fromStdString(typed[0]));
            dialog->IdentifierEdit(7)->clear();
            dialog->PathBreakEdit()->setText(text);
            Press(*dialog, "OK");
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QCOMPARE(dialog->m_pathBreak, expected);
            QVERIFY(dialog->m_identifiers == typed);
        }
        // Untouched fields keep their bytes, even those that are no UTF-8.
        IdentifierTable latin1 = kDistinct;
        latin1[2] = "\xE9t\xE9 ";
        const auto dialog = Filled(latin1, 7);
        Press(*dialog, "OK");
        QVERIFY(dialog->m_identifiers == latin1);
        QCOMPARE(dialog->m_pathBreak, 7);
    }

    void cancelAndEscapeKeepTheCopies() {
        for (const bool escape : {false, true}) {
            const auto dialog = Filled(kDistinct, 20);
            dialog->IdentifierEdit(3)->setText("changed");
            dialog->PathBreakEdit()->setText("7");
            escape ? QTest::keyClick(dialog.get(), Qt::Key_Escape) : Press(*dialog, "Cancel");
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
            QVERIFY(dialog->m_identifiers == kDistinct);
            QCOMPARE(dialog->m_pathBreak, 20);
        }
    }

    // The list shows the copy in every case; only OK takes another choice.
    void lineEndsListShowsTheCopyAndOkTakesTheChoice() {
        const LineEnds values[] = {LineEnds::CrLf, LineEnds::Lf, LineEnds::Keep};
        const QStringList texts = {"CR LF (Windows)", "LF (Linux, macOS)", "As each page has them"};
        for (int shown = 0; shown < 3; ++shown) {
            for (int chosen = 0; chosen < 3; ++chosen) {
                for (const bool ok : {false, true}) {
                    const auto dialog = Filled(kDistinct, 32, values[shown]);
                    QComboBox* box = dialog->LineEndsBox();
                    QStringList items;
                    for (int item = 0; item < box->count(); ++item) {
                        items << box->itemText(item);
                    }
                    QCOMPARE(items, texts);
                    QCOMPARE(box->currentIndex(), shown);
                    box->setCurrentIndex(chosen);
                    Press(*dialog, ok ? "OK" : "Cancel");
                    QVERIFY(dialog->m_lineEnds == values[ok ? chosen : shown]);
                }
            }
        }
    }

    // The new group lies below the buttons, which stay where they were, and
    // inside the dialog, with its label and list inside it.
    void writingGroupFitsBelowTheUnmovedButtons() {
        const auto dialog = Filled(kDistinct, 32);
        const DialogUnits units(dialog->font());
        QCOMPARE(Button(*dialog, "OK")->geometry(), units.ToPixels(165, 177, 50, 14));
        QCOMPARE(Button(*dialog, "Cancel")->geometry(), units.ToPixels(108, 177, 50, 14));
        QGroupBox* writing = nullptr;
        for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
            writing = group->title() == "Writing" ? group : writing;
        }
        QLabel* label = nullptr;
        for (QLabel* candidate : dialog->findChildren<QLabel*>()) {
            label = candidate->text() == "Line ends:" ? candidate : label;
        }
        QVERIFY(writing != nullptr && label != nullptr);
        QVERIFY(writing->y() > Button(*dialog, "OK")->geometry().bottom());
        QVERIFY(dialog->rect().contains(writing->geometry()));
        QVERIFY(writing->geometry().contains(label->geometry()));
        QVERIFY(writing->geometry().contains(dialog->LineEndsBox()->geometry()));
        QVERIFY(!label->geometry().intersects(dialog->LineEndsBox()->geometry()));
    }
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::OptionsDlgTest)
#include "options_dlg_test.moc"
