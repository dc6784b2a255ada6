#include "options/options_dlg.h"

#include "app/dialog_units.h"
#include "app/text_edges.h"
#include "options/number_text.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <iterator>
#include <utility>

namespace quillstamper {

namespace {

// The drop-down list's items, top to bottom.
constexpr std::pair<const char*, LineEnds> kLineEndsChoices[] = {
    {"CR LF (Windows)", LineEnds::CrLf},
    {"LF (Linux, macOS)", LineEnds::Lf},
    {"As each page has them", LineEnds::Keep}};

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

} // namespace

COptionsDlg::COptionsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(222), units.ToPixelsY(239));

    // Group boxes first, so that the controls inside lie above them.
    (new QGroupBox(QStringLiteral("Template Identifyer"), this))
        ->setGeometry(units.ToPixels(7, 7, 208, 115));
    (new QGroupBox(QStringLiteral("Viewing Options"), this))
        ->setGeometry(units.ToPixels(7, 131, 208, 34));
    // Below OK and Cancel, so that no control of the older layout moves.
    (new QGroupBox(QStringLiteral("Writing"), this))->setGeometry(units.ToPixels(7, 198, 208, 34));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.ToPixels(165, 177, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(units.ToPixels(108, 177, 50, 14));
    connect(ok, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &COptionsDlg::reject);

    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment right = Qt::AlignRight;
    AddLabel(this, units, QStringLiteral("Template Start/End #01"), 15, 23, 93, 9);
    m_edit1012 = AddEdit(this, units, 15, 34, 70, left);
    m_edit1013 = AddEdit(this, units, 27, 50, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #03"), 15, 73, 101, 9);
    m_edit1014 = AddEdit(this, units, 15, 85, 70, left);
    m_edit1015 = AddEdit(this, units, 27, 101, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #02"), 119, 23, 87, 9);
    m_edit1016 = AddEdit(this, units, 119, 34, 70, left);
    m_edit1017 = AddEdit(this, units, 131, 50, 70, right);
    AddLabel(this, units, QStringLiteral("Template Start/End #04"), 119, 74, 93, 9);
    m_edit1018 = AddEdit(this, units, 119, 85, 70, left);
    m_edit1019 = AddEdit(this, units, 131, 101, 71, right);
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
    m_edit1020 = AddEdit(this, units, 173, 141, 33, right);
    AddLabel(this, units, QStringLiteral("Line ends:"), 13, 211, 50, 10);
    m_lineEndsBox = new QComboBox(this);
    m_lineEndsBox->setGeometry(units.ToPixels(106, 208, 100, 12));
    for (const auto& [text, lineEnds] : kLineEndsChoices) {
        m_lineEndsBox->addItem(QString::fromLatin1(text));
    }

    QWidget* order[] = {ok,         cancel,     m_edit1012, m_edit1013, m_edit1014, m_edit1015,
                        m_edit1016, m_edit1017, m_edit1018, m_edit1019, m_edit1020, m_lineEndsBox};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    ok->setFocus();
}

QLineEdit* COptionsDlg::IdentifierEdit(int entry) const {
    QLineEdit* const edits[] = {m_edit1012, m_edit1013, m_edit1016, m_edit1017,
                                m_edit1014, m_edit1015, m_edit1018, m_edit1019};
    return entry >= 0 && entry < 8 ? edits[entry] : nullptr;
}

QLineEdit* COptionsDlg::PathBreakEdit() const {
    return m_edit1020;
}

QComboBox* COptionsDlg::LineEndsBox() const {
    return m_lineEndsBox;
}

void COptionsDlg::OnInitDialog() {
    m_start1 = TextToDisplay(m_identifiers[0]);
    m_end1 = TextToDisplay(m_identifiers[1]);
    m_start2 = TextToDisplay(m_identifiers[2]);
    m_end2 = TextToDisplay(m_identifiers[3]);
    m_start3 = TextToDisplay(m_identifiers[4]);
    m_end3 = TextToDisplay(m_identifiers[5]);
    m_start4 = TextToDisplay(m_identifiers[6]);
    m_end4 = TextToDisplay(m_identifiers[7]);
    m_pathBreakText = QString::fromStdString(IntToText(m_pathBreak));
    m_lineEndsChoice = 0;
    for (std::size_t choice = 0; choice < std::size(kLineEndsChoices); ++choice) {
        if (kLineEndsChoices[choice].second == m_lineEnds) {
            m_lineEndsChoice = static_cast<int>(choice);
        }
    }
    UpdateData(false);
}

void COptionsDlg::UpdateData(bool saveAndValidate) {
    const std::pair<QLineEdit*, QString*> exchange[] = {
        {m_edit1012, &m_start1}, {m_edit1016, &m_start2}, {m_edit1014, &m_start3},
        {m_edit1018, &m_start4}, {m_edit1013, &m_end1},   {m_edit1017, &m_end2},
        {m_edit1015, &m_end3},   {m_edit1019, &m_end4},   {m_edit1020, &m_pathBreakText}};
    for (const auto& [edit, member] : exchange) {
        if (saveAndValidate) {
            *member = edit->text();
        } else {
            edit->setText(*member);
        }
    }
    if (saveAndValidate) {
        m_lineEndsChoice = m_lineEndsBox->currentIndex();
    } else {
        m_lineEndsBox->setCurrentIndex(m_lineEndsChoice);
    }
}

void COptionsDlg::accept() {
    OnOK();
}

void COptionsDlg::OnOK() {
    UpdateData(true);
    const QString* const texts[] = {&m_start1, &m_end1, &m_start2, &m_end2,
                                    &m_start3, &m_end3, &m_start4, &m_end4};
    for (std::size_t entry = 0; entry < m_identifiers.size(); ++entry) {
        // An untouched field keeps its bytes, even those that are no UTF-8.
        if (*texts[entry] != TextToDisplay(m_identifiers[entry])) {
            m_identifiers[entry] = TextFromDisplay(*texts[entry]);
        }
    }
    m_pathBreak = ClampPathBreak(TextToInt(TextFromDisplay(m_pathBreakText)));
    m_lineEnds = kLineEndsChoices[m_lineEndsChoice].second;
    QDialog::accept();
}

} // namespace quillstamper
