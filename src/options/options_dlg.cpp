#include "options/options_dlg.h"

#include "options/number_text.h"
#include "widgets/dialog_units.h"
#include "widgets/text_edges.h"
#include "widgets/window_placement.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <iterator>
#include <utility>
#include <vector>

namespace quillstamper {

namespace {

constexpr int kFirstEditId = 1012;
constexpr int kPathBreakEditId = 1020;

// The identifier edits' control ids by table entry: pairs 1 and 3 sit on the
// left, pairs 2 and 4 on the right, each start above its end.
constexpr std::array<int, IdentifierTable::size()> kIdentifierEditIds = {1012, 1013, 1016, 1017,
                                                                         1014, 1015, 1018, 1019};

QLineEdit* AddEdit(QWidget* parent, const DialogUnits& units, int x, int y, int width,
                   Qt::Alignment alignment) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(units.ToPixels(x, y, width, 12));
    edit->setAlignment(alignment | Qt::AlignVCenter);
    return edit;
}

QLabel* AddLabel(QWidget* parent, const DialogUnits& units, const QString& text, int x, int y,
                 int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(units.ToPixels(x, y, width, height));
    return label;
}

void ExchangeText(QLineEdit& edit, QString& member, bool saveAndValidate) {
    if (saveAndValidate) {
        member = edit.text();
    } else {
        edit.setText(member);
    }
}

} // namespace

COptionsDlg::COptionsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(222), units.ToPixelsY(198));

    // Group boxes first, so that the controls inside lie above them.
    (new QGroupBox(QStringLiteral("Template Identifyer"), this))
        ->setGeometry(units.ToPixels(7, 7, 208, 115));
    (new QGroupBox(QStringLiteral("Viewing Options"), this))
        ->setGeometry(units.ToPixels(7, 131, 208, 34));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.ToPixels(165, 177, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(units.ToPixels(108, 177, 50, 14));
    connect(ok, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &COptionsDlg::reject);

    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment right = Qt::AlignRight;
    const auto addEdit = [&](int controlId, int x, int y, int width, Qt::Alignment alignment) {
        m_edits[static_cast<std::size_t>(controlId - kFirstEditId)] =
            AddEdit(this, units, x, y, width, alignment);
    };
    AddLabel(this, units, QStringLiteral("Template Start/End #01"), 15, 23, 93, 9);
    addEdit(1012, 15, 34, 70, left);
    addEdit(1013, 27, 50, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #03"), 15, 73, 101, 9);
    addEdit(1014, 15, 85, 70, left);
    addEdit(1015, 27, 101, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #02"), 119, 23, 87, 9);
    addEdit(1016, 119, 34, 70, left);
    addEdit(1017, 131, 50, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #04"), 119, 74, 93, 9);
    addEdit(1018, 119, 85, 70, left);
    addEdit(1019, 131, 101, 71, right);
    // "..." after each start edit and before each end edit: a pair reads start ... end.
    for (const auto& [x, y] : {std::pair{87, 36},
                               {15, 52},
                               {87, 87},
                               {15, 103},
                               {191, 36},
                               {119, 52},
                               {191, 87},
                               {119, 103}}) {
        AddLabel(this, units, QStringLiteral("..."), x, y, 10, 8);
    }
    AddLabel(this, units, QStringLiteral("Long path break after ... characters"), 13, 144, 131, 10);
    addEdit(kPathBreakEditId, 173, 141, 33, right);

    // Tab stops in control id order.
    std::vector<QWidget*> order = {ok, cancel};
    order.insert(order.end(), m_edits.begin(), m_edits.end());
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    ok->setFocus();
}

QLineEdit* COptionsDlg::FindEdit(int controlId) const {
    return m_edits[static_cast<std::size_t>(controlId - kFirstEditId)];
}

QLineEdit* COptionsDlg::IdentifierEdit(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(kIdentifierEditIds.size())) {
        return nullptr;
    }
    return FindEdit(kIdentifierEditIds[static_cast<std::size_t>(entry)]);
}

QLineEdit* COptionsDlg::PathBreakEdit() const {
    return FindEdit(kPathBreakEditId);
}

void COptionsDlg::OnInitDialog() {
    for (std::size_t entry = 0; entry < m_identifierTexts.size(); ++entry) {
        m_identifierTexts[entry] = TextToDisplay(m_identifiers[entry]);
    }
    m_pathBreakText = QString::fromStdString(IntToText(m_pathBreak));
    UpdateData(false);
}

void COptionsDlg::UpdateData(bool saveAndValidate) {
    for (std::size_t entry = 0; entry < m_identifierTexts.size(); ++entry) {
        ExchangeText(*FindEdit(kIdentifierEditIds[entry]), m_identifierTexts[entry],
                     saveAndValidate);
    }
    ExchangeText(*PathBreakEdit(), m_pathBreakText, saveAndValidate);
}

void COptionsDlg::accept() {
    OnOK();
}

void COptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) { // as the About box opens
        CentreOnParentFrame(*this);
    }
}

void COptionsDlg::OnOK() {
    UpdateData(true);
    for (std::size_t entry = 0; entry < m_identifierTexts.size(); ++entry) {
        // An untouched field keeps its bytes, even those that are no UTF-8.
        if (m_identifierTexts[entry] != TextToDisplay(m_identifiers[entry])) {
            m_identifiers[entry] = TextFromDisplay(m_identifierTexts[entry]);
        }
    }
    m_pathBreak = ClampPathBreak(TextToInt(TextFromDisplay(m_pathBreakText)));
    QDialog::accept();
}

} // namespace quillstamper
