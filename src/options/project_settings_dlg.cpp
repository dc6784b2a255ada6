#include "options/project_settings_dlg.h"

#include "widgets/window_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <iterator>
#include <utility>

namespace quillstamper {

namespace {

// The drop-down list's items, top to bottom.
constexpr std::pair<const char*, LineEnds> kLineEndsChoices[] = {
    {"CR LF (Windows)", LineEnds::CrLf},
    {"LF (Linux, macOS)", LineEnds::Lf},
    {"As each page has them", LineEnds::Keep}};

constexpr std::pair<const char*, TextMode> kTextChoices[] = {
    {"Converted to the page's charset", TextMode::Convert}, {"Copied as bytes", TextMode::Bytes}};

// Fills a drop-down list with the choices' texts and shows the one chosen.
template <typename Value, std::size_t N>
QComboBox* MakeChoiceBox(const std::pair<const char*, Value> (&choices)[N], Value chosen) {
    auto* box = new QComboBox;
    for (const auto& [text, value] : choices) {
        box->addItem(QString::fromUtf8(text));
        if (value == chosen) {
            box->setCurrentIndex(box->count() - 1);
        }
    }
    return box;
}

template <typename Value, std::size_t N>
void TakeChoice(const std::pair<const char*, Value> (&choices)[N], const QComboBox& box,
                Value& value) {
    const int choice = box.currentIndex();
    if (choice >= 0 && choice < static_cast<int>(N)) {
        value = choices[choice].second;
    }
}

} // namespace

CProjectSettingsDlg::CProjectSettingsDlg(const ProjectSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(QStringLiteral("Project Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    m_lineEndsBox = MakeChoiceBox(kLineEndsChoices, settings.lineEnds);
    m_textBox = MakeChoiceBox(kTextChoices, settings.text);
    m_anyEndLineBox =
        new QCheckBox(QStringLiteral("Any line ending with the end identifier closes a block"));
    m_anyEndLineBox->setChecked(settings.endLines == EndLines::Any);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Line ends:"), m_lineEndsBox);
    form->addRow(m_anyEndLineBox);
    form->addRow(QStringLiteral("Template text in another charset:"), m_textBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProjectSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProjectSettingsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProjectSettingsDlg::accept() {
    TakeChoice(kLineEndsChoices, *m_lineEndsBox, m_settings.lineEnds);
    TakeChoice(kTextChoices, *m_textBox, m_settings.text);
    m_settings.endLines = m_anyEndLineBox->isChecked() ? EndLines::Any : EndLines::Own;
    QDialog::accept();
}

void CProjectSettingsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnParentFrame(*this);
    }
}

} // namespace quillstamper
