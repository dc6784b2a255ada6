#include "app/preview_dlg.h"

#include "base/shorten_path.h"
#include "conversion/file_check.h"
#include "diff/unified_diff.h"
#include "widgets/text_edges.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSyntaxHighlighter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <unordered_map>
#include <utility>

namespace quillstamper {

namespace {

// Keeps the bytes of each page the run would rewrite; counting its lines
// waits for the end, since a page converted again replaces what it told.
class PreviewCollector : public ConversionObserver {
public:
    void OnFileConverted(std::size_t webIndex, const std::string& webEntry,
                         std::string_view oldBytes, std::string_view newBytes,
                         FileOutcome outcome) override {
        if (m_files.size() <= webIndex) {
            m_files.resize(webIndex + 1);
        }
        if (outcome != FileOutcome::Updated) {
            m_files[webIndex].reset();
            return;
        }
        m_files[webIndex] = PreviewFile{webEntry, std::string(oldBytes), std::string(newBytes), 0};
    }

    std::vector<PreviewFile> TakeFiles() {
        std::vector<PreviewFile> files;
        for (std::optional<PreviewFile>& file : m_files) {
            if (file) {
                file->changedLines = CountChangedLines(file->oldBytes, file->newBytes);
                files.push_back(std::move(*file));
            }
        }
        return files;
    }

private:
    std::vector<std::optional<PreviewFile>> m_files; // by web list index
};

// A text view takes a carriage return for a line break or drops it, so a
// change of line ends alone would show as equal lines; the diff shows this
// sign in its place.
constexpr QChar kCarriageReturnSign(u'\u240D');

// Colours a unified diff by its marks, which stay in the text so that it
// reads without colour too; carriage return signs are dimmed.
class DiffHighlighter : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString& text) override {
        QTextCharFormat format;
        if (currentBlock().blockNumber() < 2) { // the "---" and "+++" label lines
            format.setFontWeight(QFont::Bold);
        } else if (text.startsWith(u"@@")) {
            format.setForeground(QColor(0, 90, 170));
        } else if (text.startsWith(u'+')) {
            format.setForeground(QColor(0, 125, 0));
        } else if (text.startsWith(u'-')) {
            format.setForeground(QColor(190, 0, 0));
        } else if (text.startsWith(u'\\')) {
            format.setForeground(QColor(110, 110, 110));
        }
        if (format.propertyCount() > 0) {
            setFormat(0, static_cast<int>(text.size()), format);
        }
        QTextCharFormat sign = format;
        sign.setForeground(QColor(160, 160, 160));
        for (qsizetype at = text.indexOf(kCarriageReturnSign); at >= 0;
             at = text.indexOf(kCarriageReturnSign, at + 1)) {
            setFormat(static_cast<int>(at), 1, sign);
        }
    }
};

// A problem or note with the file it names, in the order Dynamize meets them.
struct PreviewReport {
    std::string text;
    std::string file;
};

std::vector<PreviewReport> CollectReports(const PreviewData& data) {
    std::vector<PreviewReport> reports;
    for (const std::string& page : data.recoverable) { // first, as Dynamize puts them back first
        reports.push_back({page + ": " + FormatRecoverable("Dynamize"), page});
    }
    for (const KeptRecoveryCopy& kept : data.changedSinceInterrupted) {
        reports.push_back({kept.page + ": " + FormatKeptCopy(kept.copy), kept.page});
    }
    for (const UnclosedBlock& problem : data.problems) {
        reports.push_back(
            {FormatCheckReportLine(problem.file, problem.line, problem.startLine), problem.file});
        if (problem.refusedLine != 0) {
            reports.push_back(
                {FormatRefusedEndLine(problem.file, problem.refusedLine, problem.refusedText),
                 problem.file});
        }
    }
    for (const ConversionNote& note : data.notes) {
        reports.push_back({FormatNote(note), note.file});
    }
    return reports;
}

} // namespace

PreviewData CollectPreview(ConversionRequest request) {
    request.writeFiles = false;
    PreviewCollector collector;
    ConversionResult result = RunConversion(request, &collector);
    if (result.error) {
        throw *result.error;
    }
    PreviewData data;
    data.preconditionFailed = result.preconditionFailed;
    data.webFileCount = request.site.webFiles.size();
    data.files = collector.TakeFiles();
    data.recoverable = std::move(result.recoverable);
    data.changedSinceInterrupted = std::move(result.changedSinceInterrupted);
    data.problems = std::move(result.problems);
    data.notes = std::move(result.notes);
    return data;
}

CPreviewDlg::CPreviewDlg(PreviewData data, std::int32_t pathBreak, QWidget* parent)
    : QDialog(parent), m_data(std::move(data)), m_pathBreak(pathBreak) {
    setWindowTitle(QStringLiteral("Preview Changes"));
    CreateControls();
}

void CPreviewDlg::SetAcceptText(const QString& text) {
    m_dynamizeButton->setText(text);
}

void CPreviewDlg::CreateControls() {
    CreateFileList();
    CreateDiffView();
    CreateReportList();
    m_dynamizeButton = new QPushButton(QStringLiteral("Dynamize!"));
    m_closeButton = new QPushButton(QStringLiteral("Close"));
    m_closeButton->setDefault(true); // Enter looks, it does not write
    connect(m_dynamizeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_fileList, &QTreeWidget::currentItemChanged, this, [this] { OnSelectFile(); });
    connect(m_reportList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { OnOpenReport(item); });
    LayOutControls();
    if (m_fileList->topLevelItemCount() > 0) {
        m_fileList->setCurrentItem(m_fileList->topLevelItem(0));
    }
}

void CPreviewDlg::CreateFileList() {
    m_countLabel = new QLabel(QStringLiteral("%1 of %2 web files would change")
                                  .arg(m_data.files.size())
                                  .arg(m_data.webFileCount));
    m_fileList = new QTreeWidget;
    m_fileList->setHeaderLabels({QStringLiteral("Web file"), QStringLiteral("Changed lines")});
    m_fileList->setRootIsDecorated(false);
    m_fileList->setUniformRowHeights(true); // thousands of rows stay quick
    for (const PreviewFile& file : m_data.files) {
        auto* item =
            new QTreeWidgetItem(m_fileList, {PathToDisplay(ShortenPath(file.entry, m_pathBreak)),
                                             QString::number(file.changedLines)});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_fileList->header()->setStretchLastSection(false);
    m_fileList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_fileList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
}

void CPreviewDlg::CreateDiffView() {
    m_diffView = new QPlainTextEdit;
    m_diffView->setReadOnly(true);
    m_diffView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_diffView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_diffView->setPlaceholderText(QStringLiteral("No web file would change."));
    new DiffHighlighter(m_diffView->document());
}

// Each report keeps the row of its file in the list, or -1.
void CPreviewDlg::CreateReportList() {
    std::unordered_map<std::string, qlonglong> rows;
    for (std::size_t i = 0; i < m_data.files.size(); ++i) {
        rows.emplace(m_data.files[i].entry, static_cast<qlonglong>(i));
    }
    m_reportList = new QListWidget;
    for (const PreviewReport& report : CollectReports(m_data)) {
        auto* item = new QListWidgetItem(TextToDisplay(report.text), m_reportList);
        const auto found = rows.find(report.file);
        item->setData(Qt::UserRole, found == rows.end() ? qlonglong(-1) : found->second);
    }
}

void CPreviewDlg::LayOutControls() {
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_countLabel);
    leftLayout->addWidget(m_fileList);
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(left);
    splitter->addWidget(m_diffView);
    splitter->setStretchFactor(1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_dynamizeButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 3);
    layout->addWidget(
        new QLabel(QStringLiteral("Problems and notes (%1):")
                       .arg(m_data.recoverable.size() + m_data.changedSinceInterrupted.size() +
                            m_data.problems.size() + m_data.notes.size())));
    layout->addWidget(m_reportList, 1);
    layout->addLayout(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 130, metrics.lineSpacing() * 36);
}

// The diff is made when its file is chosen: a site may have thousands.
void CPreviewDlg::OnSelectFile() {
    QTreeWidgetItem* item = m_fileList->currentItem();
    if (item == nullptr) {
        m_diffView->clear();
        return;
    }
    const PreviewFile& file =
        m_data.files[static_cast<std::size_t>(m_fileList->indexOfTopLevelItem(item))];
    m_diffView->setPlainText(
        TextToDisplay(FormatUnifiedDiff(file.entry, file.oldBytes, file.newBytes))
            .replace(u'\r', kCarriageReturnSign));
}

void CPreviewDlg::OnOpenReport(QListWidgetItem* item) {
    const qlonglong row = item->data(Qt::UserRole).toLongLong();
    if (row >= 0) {
        m_fileList->setCurrentItem(m_fileList->topLevelItem(static_cast<int>(row)));
    }
}

} // namespace quillstamper
