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

} // namespace

CProjectSettingsDlg::CProjectSettingsDlg(const ProjectSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(QStringLiteral("Project Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    m_lineEndsBox = new QComboBox;
    for (const auto& [text, lineEnds] : kLineEndsChoices) {
        m_lineEndsBox->addItem(QString::fromLatin1(text));
        if (lineEnds == settings.lineEnds) {
            m_lineEndsBox->setCurrentIndex(m_lineEndsBox->count() - 1);
        }
    }
    m_anyEndLineBox =
        new QCheckBox(QStringLiteral("Any line ending with the end identifier closes a block"));
    m_anyEndLineBox->setChecked(settings.endLines == EndLines::Any);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Line ends:"), m_lineEndsBox);
    form->addRow(m_anyEndLineBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProjectSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProjectSettingsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProjectSettingsDlg::accept() {
    const int choice = m_lineEndsBox->currentIndex();
    if (choice >= 0 && choice < static_cast<int>(std::size(kLineEndsChoices))) {
        m_settings.lineEnds = kLineEndsChoices[choice].second;
    }
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
