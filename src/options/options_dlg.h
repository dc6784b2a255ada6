#pragma once

#include "base/site_definition.h"

#include <QDialog>

#include <array>
#include <cstdint>

class QLineEdit;
class QPushButton;

namespace quillstamper {

class DialogUnits;

// What the Options dialog edits: the marker table and the path break.
struct OptionValues {
    IdentifierTable identifiers;
    std::int32_t pathBreak = 0;
    friend bool operator==(const OptionValues&, const OptionValues&) = default;
};

// The Options dialog. Takes the values in and, after OK, gives the edited
// ones back; Cancel leaves them as they came.
class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit COptionsDlg(const OptionValues& values, QWidget* parent = nullptr);

    // What OK took, or the values handed in.
    OptionValues Values() const {
        return {m_identifiers, m_pathBreak};
    }

    // The edit of an identifier table entry (nullptr past the table), and the
    // path break's; for the tests.
    QLineEdit* IdentifierEdit(int entry) const;
    QLineEdit* PathBreakEdit() const {
        return m_pathBreakEdit;
    }

protected:
    void accept() override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateButtons(const DialogUnits& units);
    void CreateIdentifierEdits(const DialogUnits& units);
    void CreatePathBreakEdit(const DialogUnits& units);
    void SetTabOrder();
    // Fills the edits from the working copies.
    void OnInitDialog();
    // Takes the edits into the working copies and closes the dialog.
    void OnOK();

    // Working copies: what came in until OK replaces them.
    std::int32_t m_pathBreak = 0;
    IdentifierTable m_identifiers;

    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    // In the identifier table's order, whatever the places of the edits.
    std::array<QLineEdit*, IdentifierTable::size()> m_identifierEdits{};
    QLineEdit* m_pathBreakEdit = nullptr;
};

} // namespace quillstamper
