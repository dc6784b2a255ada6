#pragma once

#include "workspace/workspace.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QComboBox;
class QLineEdit;

namespace quillstamper {

// The Options dialog: edits working copies of the identifier table, the path
// break and the line ends, which the main window hands in and takes back
// afterwards.
class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    // Working copies: filled before the dialog runs, replaced by OK only.
    std::int32_t m_pathBreak = 0;
    IdentifierTable m_identifiers;
    LineEnds m_lineEnds = LineEnds::CrLf;

    // Fills the edits from the working copies; the window runs this when it
    // is about to show the dialog.
    void OnInitDialog();

    // The edit for an identifier table entry, for the dialog's users and tests.
    QLineEdit* IdentifierEdit(int entry) const;
    QLineEdit* PathBreakEdit() const;
    QComboBox* LineEndsBox() const;

protected:
    void accept() override;

private:
    void OnOK();
    // true: edits to members, false: members to edits.
    void UpdateData(bool saveAndValidate);

    QString m_start1, m_start2, m_start3, m_start4;
    QString m_end1, m_end2, m_end3, m_end4;
    QString m_pathBreakText;
    int m_lineEndsChoice = 0;

    // Edits by control id order of the data exchange: 1012, 1016, 1014,
    // 1018, 1013, 1017, 1015, 1019, 1020.
    QLineEdit* m_edit1012 = nullptr;
    QLineEdit* m_edit1013 = nullptr;
    QLineEdit* m_edit1014 = nullptr;
    QLineEdit* m_edit1015 = nullptr;
    QLineEdit* m_edit1016 = nullptr;
    QLineEdit* m_edit1017 = nullptr;
    QLineEdit* m_edit1018 = nullptr;
    QLineEdit* m_edit1019 = nullptr;
    QLineEdit* m_edit1020 = nullptr;
    QComboBox* m_lineEndsBox = nullptr;
};

} // namespace quillstamper
