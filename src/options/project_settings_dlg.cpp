#include "options/project_settings_dlg.h"

#include "widgets/text_edges.h"
#include "widgets/window_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
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

constexpr std::pair<const char*, CurrentPageMark> kCurrentPageChoices[] = {
    {"Not marked", CurrentPageMark::None},
    {"aria-current=\"page\"", CurrentPageMark::AriaCurrent},
    {"A class:", CurrentPageMark::Class}};

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

CProjectSettingsDlg::CProjectSettingsDlg(const ProjectSettings& settings, QWidget* parent,
                                         FolderAsker browseLinkBase)
    : QDialog(parent), m_settings(settings), m_browseLinkBase(std::move(browseLinkBase)) {
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
    form->addRow(MakeLinkControls(settings));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProjectSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProjectSettingsDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

// Links follow each page from the link base (empty: the project file's
// folder); the page's own link is marked by nothing, aria-current or a class.
QLayout* CProjectSettingsDlg::MakeLinkControls(const ProjectSettings& settings) {
    m_linksBox = new QCheckBox(
        QStringLiteral("Links in template text follow each page, written from the link base"));
    m_linksBox->setChecked(settings.linksFollowPage);
    m_linkBaseEdit = new QLineEdit(TextToDisplay(settings.linkBase));
    m_linkBaseEdit->setPlaceholderText(QStringLiteral("the project file's folder"));
    m_browseButton = new QPushButton(QStringLiteral("Browse..."));
    connect(m_browseButton, &QPushButton::clicked, this, [this] {
        if (m_browseLinkBase) {
            if (const std::optional<std::string> folder = m_browseLinkBase()) {
                m_linkBaseEdit->setText(TextToDisplay(*folder));
            }
        }
    });
    m_currentPageBox = MakeChoiceBox(kCurrentPageChoices, settings.currentPage);
    m_currentPageClassEdit = new QLineEdit(TextToDisplay(settings.currentPageClass));
    const auto enable = [this] {
        m_linkBaseEdit->setEnabled(m_linksBox->isChecked());
        m_browseButton->setEnabled(m_linksBox->isChecked());
        m_currentPageClassEdit->setEnabled(m_currentPageBox->currentIndex() == 2);
    };
    connect(m_linksBox, &QCheckBox::toggled, this, enable);
    connect(m_currentPageBox, &QComboBox::currentIndexChanged, this, enable);
    enable();

    auto* form = new QFormLayout;
    form->addRow(m_linksBox);
    auto* base = new QHBoxLayout;
    base->addWidget(m_linkBaseEdit);
    base->addWidget(m_browseButton);
    form->addRow(QStringLiteral("Link base:"), base);
    auto* mark = new QHBoxLayout;
    mark->addWidget(m_currentPageBox);
    mark->addWidget(m_currentPageClassEdit);
    form->addRow(QStringLiteral("The page's own link in a menu:"), mark);
    return form;
}

void CProjectSettingsDlg::accept() {
    TakeChoice(kLineEndsChoices, *m_lineEndsBox, m_settings.lineEnds);
    TakeChoice(kTextChoices, *m_textBox, m_settings.text);
    m_settings.endLines = m_anyEndLineBox->isChecked() ? EndLines::Any : EndLines::Own;
    m_settings.linksFollowPage = m_linksBox->isChecked();
    m_settings.linkBase = TextFromDisplay(m_linkBaseEdit->text().trimmed());
    TakeChoice(kCurrentPageChoices, *m_currentPageBox, m_settings.currentPage);
    // A class name holds no blank; without one, nothing can be marked.
    const QString name = m_currentPageClassEdit->text().trimmed();
    m_settings.currentPageClass = TextFromDisplay(name.split(u' ').constFirst());
    if (m_settings.currentPage == CurrentPageMark::Class && m_settings.currentPageClass.empty()) {
        m_settings.currentPage = CurrentPageMark::None;
    }
    QDialog::accept();
}

void CProjectSettingsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnParentFrame(*this);
    }
}

} // namespace quillstamper
