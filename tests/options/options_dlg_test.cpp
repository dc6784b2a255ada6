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

// A dialog given the values as the window gives them.
std::unique_ptr<COptionsDlg> Filled(const IdentifierTable& identifiers, int pathBreak) {
    return std::make_unique<COptionsDlg>(OptionValues{identifiers, pathBreak});
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
            QCOMPARE(dialog->Values().pathBreak, expected);
            QVERIFY(dialog->Values().identifiers == typed);
        }
        // Untouched fields keep their bytes, even those that are no UTF-8.
        IdentifierTable latin1 = kDistinct;
        latin1[2] = "\xE9t\xE9 ";
        const auto dialog = Filled(latin1, 7);
        Press(*dialog, "OK");
        QVERIFY(dialog->Values().identifiers == latin1);
        QCOMPARE(dialog->Values().pathBreak, 7);
    }

    void cancelAndEscapeKeepTheCopies() {
        for (const bool escape : {false, true}) {
            const auto dialog = Filled(kDistinct, 20);
            dialog->IdentifierEdit(3)->setText("changed");
            dialog->PathBreakEdit()->setText("7");
            escape ? QTest::keyClick(dialog.get(), Qt::Key_Escape) : Press(*dialog, "Cancel");
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
            QVERIFY(dialog->Values().identifiers == kDistinct);
            QCOMPARE(dialog->Values().pathBreak, 20);
        }
    }

    // Tab goes from OK and Cancel through the edits in their control ids'
    // order: pair 1, pair 3 (the left column), pair 2, pair 4, the path break.
    void tabStopsFollowTheControlIds() {
        const auto dialog = Filled(kDistinct, 32);
        QList<QWidget*> expected = {Button(*dialog, "OK"), Button(*dialog, "Cancel")};
        for (const int entry : {0, 1, 4, 5, 2, 3, 6, 7}) {
            expected << dialog->IdentifierEdit(entry);
        }
        expected << dialog->PathBreakEdit();
        QList<QWidget*> order;
        for (QWidget* widget = expected.first(); order.size() < expected.size();
             widget = widget->nextInFocusChain()) {
            if (widget->focusPolicy() & Qt::TabFocus) {
                order << widget;
            }
        }
        QCOMPARE(order, expected);
    }

    // Exactly the identifier table, the path break and the two buttons, in
    // the dialog's own size: project settings have a dialog of their own.
    void holdsOnlyItsOwnControls() {
        const auto dialog = Filled(kDistinct, 32);
        const DialogUnits units(dialog->font());
        QCOMPARE(dialog->size(), QSize(units.ToPixelsX(222), units.ToPixelsY(198)));
        QCOMPARE(dialog->findChildren<QLineEdit*>().size(), 9);
        QCOMPARE(dialog->findChildren<QPushButton*>().size(), 2);
        QVERIFY(dialog->findChildren<QComboBox*>().isEmpty());
        QStringList groups;
        for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
            groups << group->title();
        }
        QCOMPARE(groups, QStringList({"Template Identifyer", "Viewing Options"}));
    }
};

} // namespace quillstamper

QTEST_MAIN(quillstamper::OptionsDlgTest)
#include "options_dlg_test.moc"
