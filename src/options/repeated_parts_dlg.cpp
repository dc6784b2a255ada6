#include "options/repeated_parts_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillstamper {

namespace {

QString FromBytes(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CRepeatedPartsDlg::CRepeatedPartsDlg(std::vector<PartSummary> parts, std::string templateFile,
                                     QWidget* parent)
    : QDialog(parent), m_parts(std::move(parts)) {
    setWindowTitle(QStringLiteral("Find Repeated Parts"));
    m_partList = new QTreeWidget;
    m_partList->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Lines"),
                                 QStringLiteral("Pages"), QStringLiteral("Variants")});
    m_partList->setRootIsDecorated(false);
    for (const PartSummary& part : m_parts) {
        m_partList->addTopLevelItem(
            new QTreeWidgetItem({FromBytes(part.name), QString::number(part.lines),
                                 QString::number(part.pages), QString::number(part.variants)}));
    }
    m_textView = new QPlainTextEdit;
    m_textView->setReadOnly(true);
    m_textView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_textView->setFont(QFont(QStringLiteral("monospace")));
    m_nameEdit = new QLineEdit;
    m_templateEdit = new QLineEdit(FromBytes(templateFile));
    m_wrapButton = new QPushButton(QStringLiteral("Wrap..."));
    m_wrapButton->setEnabled(!m_parts.empty());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(m_wrapButton, QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_partList, &QTreeWidget::currentItemChanged, this, [this] { OnSelectPart(); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Block &name:"), m_nameEdit);
    form->addRow(QStringLiteral("&Template file:"), m_templateEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(m_parts.empty() ? QStringLiteral("No run of lines stands in enough web files.")
                                   : QStringLiteral("Runs of lines that many web files repeat:")));
    layout->addWidget(m_partList);
    layout->addWidget(m_textView, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(720, 560);
    if (!m_parts.empty()) {
        m_partList->setCurrentItem(m_partList->topLevelItem(0));
    }
}

void CRepeatedPartsDlg::OnSelectPart() {
    const int row = m_partList->indexOfTopLevelItem(m_partList->currentItem());
    if (row < 0) {
        return;
    }
    const PartSummary& part = m_parts[static_cast<std::size_t>(row)];
    m_textView->setPlainText(
        FromBytes(part.text + (part.variantDiffs.empty() ? "" : "\n") + part.variantDiffs));
    m_nameEdit->setText(FromBytes(part.name));
}

WrapChoice CRepeatedPartsDlg::Choice() const {
    const int row = m_partList->indexOfTopLevelItem(m_partList->currentItem());
    return {static_cast<std::size_t>(std::max(row, 0)), m_nameEdit->text().trimmed().toStdString(),
            m_templateEdit->text().trimmed().toStdString()};
}

} // namespace quillstamper
