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

#include <algorithm>
#include <iterator>
#include <vector>

namespace quillstamper {

namespace {

// The original dialog's control ids: after OK and Cancel, the tab stops
// follow them.
enum ControlId : int {
    kPair1StartEdit = 1012,
    kPair1EndEdit = 1013,
    kPair3StartEdit = 1014,
    kPair3EndEdit = 1015,
    kPair2StartEdit = 1016,
    kPair2EndEdit = 1017,
    kPair4StartEdit = 1018,
    kPair4EndEdit = 1019,
    kPathBreakEdit = 1020,
};

struct IdentifierEditPlace {
    ControlId controlId;
    std::size_t entry; // in the identifier table: even entries start a pair, odd ones end it
    int x, y, width;
};

// Pairs 1 and 3 sit on the left, 2 and 4 on the right, each start above its
// end; listed in control id order.
constexpr IdentifierEditPlace kIdentifierEdits[] = {
    {kPair1StartEdit, 0, 15, 34, 70},  {kPair1EndEdit, 1, 27, 50, 70},
    {kPair3StartEdit, 4, 15, 85, 70},  {kPair3EndEdit, 5, 27, 101, 70},
    {kPair2StartEdit, 2, 119, 34, 70}, {kPair2EndEdit, 3, 131, 50, 70},
    {kPair4StartEdit, 6, 119, 85, 70}, {kPair4EndEdit, 7, 131, 101, 71}};
static_assert(std::size(kIdentifierEdits) == IdentifierTable::size());
static_assert(std::is_sorted(std::begin(kIdentifierEdits), std::end(kIdentifierEdits),
                             [](const IdentifierEditPlace& a, const IdentifierEditPlace& b) {
                                 return a.controlId < b.controlId;
                             }) &&
              std::end(kIdentifierEdits)[-1].controlId < kPathBreakEdit);

struct PairTitle {
    const char* text;
    int x, y, width;
};

constexpr PairTitle kPairTitles[] = {{"Template Start/End #01", 15, 23, 93},
                                     {"Template Start/End #03", 15, 73, 101},
                                     {"Template Start/End #02", 119, 23, 87},
                                     {"Template Start/End #04", 119, 74, 93}};

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

QPushButton* AddButton(QWidget* parent, const DialogUnits& units, const QString& text, int x,
                       int y) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(units.ToPixels(x, y, 50, 14));
    return button;
}

} // namespace

COptionsDlg::COptionsDlg(const OptionValues& values, QWidget* parent)
    : QDialog(parent), m_pathBreak(values.pathBreak), m_identifiers(values.identifiers) {
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
    CreateButtons(units);
    CreateIdentifierEdits(units);
    CreatePathBreakEdit(units);
    SetTabOrder();
    m_okButton->setFocus();
    OnInitDialog();
}

void COptionsDlg::CreateButtons(const DialogUnits& units) {
    m_okButton = AddButton(this, units, QStringLiteral("OK"), 165, 177);
    m_okButton->setDefault(true);
    m_cancelButton = AddButton(this, units, QStringLiteral("Cancel"), 108, 177);
    connect(m_okButton, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &COptionsDlg::reject);
}

void COptionsDlg::CreateIdentifierEdits(const DialogUnits& units) {
    for (const PairTitle& title : kPairTitles) {
        AddLabel(this, units, QString::fromLatin1(title.text), title.x, title.y, title.width, 9);
    }
    for (const IdentifierEditPlace& place : kIdentifierEdits) {
        const bool start = place.entry % 2 == 0;
        m_identifierEdits[place.entry] = AddEdit(this, units, place.x, place.y, place.width,
                                                 start ? Qt::AlignLeft : Qt::AlignRight);
        // "..." after each start edit and before each end edit: a pair reads start ... end.
        AddLabel(this, units, QStringLiteral("..."), start ? place.x + 72 : place.x - 12,
                 place.y + 2, 10, 8);
    }
}

void COptionsDlg::CreatePathBreakEdit(const DialogUnits& units) {
    AddLabel(this, units, QStringLiteral("Long path break after ... characters"), 13, 144, 131, 10);
    m_pathBreakEdit = AddEdit(this, units, 173, 141, 33, Qt::AlignRight);
}

void COptionsDlg::SetTabOrder() {
    std::vector<QWidget*> order = {m_okButton, m_cancelButton};
    for (const IdentifierEditPlace& place : kIdentifierEdits) {
        order.push_back(m_identifierEdits[place.entry]);
    }
    order.push_back(m_pathBreakEdit);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

QLineEdit* COptionsDlg::IdentifierEdit(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(m_identifierEdits.size())) {
        return nullptr;
    }
    return m_identifierEdits[static_cast<std::size_t>(entry)];
}

void COptionsDlg::OnInitDialog() {
    for (std::size_t entry = 0; entry < m_identifierEdits.size(); ++entry) {
        m_identifierEdits[entry]->setText(TextToDisplay(m_identifiers[entry]));
    }
    m_pathBreakEdit->setText(QString::fromStdString(IntToText(m_pathBreak)));
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
    for (std::size_t entry = 0; entry < m_identifierEdits.size(); ++entry) {
        const QString typed = m_identifierEdits[entry]->text();
        // An untouched field keeps its bytes, even those that are no UTF-8.
        if (typed != TextToDisplay(m_identifiers[entry])) {
            m_identifiers[entry] = TextFromDisplay(typed);
        }
    }
    m_pathBreak = ClampPathBreak(TextToInt(TextFromDisplay(m_pathBreakEdit->text())));
    QDialog::accept();
}

} // namespace quillstamper
