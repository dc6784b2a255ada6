#pragma once

#include "base/site_definition.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QLineEdit;

namespace quillstamper {

// The Options dialog: edits working copies of the identifier table and the
// path break, which the main window hands in and takes back afterwards.
class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    // Working copies: filled before the dialog runs, replaced by OK only.
    std::int32_t m_pathBreak = 0;
    IdentifierTable m_identifiers;

    // Fills the edits from the working copies; the window runs this when it
    // is about to show the dialog.
    void OnInitDialog();

    // The edit for an identifier table entry, for the dialog's users and tests.
    QLineEdit* IdentifierEdit(int entry) const;
    QLineEdit* PathBreakEdit() const;

protected:
    void accept() override;
    void showEvent(QShowEvent* event) override;

private:
    void OnOK();
    // true: edits to members, false: members to edits.
    void UpdateData(bool saveAndValidate);
    QLineEdit* FindEdit(int controlId) const;

    // In the identifier table's order, whatever the places of their edits.
    std::array<QString, IdentifierTable::size()> m_identifierTexts;
    QString m_pathBreakText;

    // By control id, 1012 to 1020; the last is the path break's.
    std::array<QLineEdit*, 9> m_edits{};
};

} // namespace quillstamper
