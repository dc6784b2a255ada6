#pragma once

#include "conversion/conversion_run.h"

#include <QDialog>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quillstamper {

// A web file the run would rewrite, with the bytes it has and would get.
struct PreviewFile {
    std::string entry; // the list entry as written
    std::string oldBytes;
    std::string newBytes;
    std::size_t changedLines = 0;
};

// What one dry run would do to the site.
struct PreviewData {
    bool preconditionFailed = false;
    std::size_t webFileCount = 0;
    std::vector<PreviewFile> files; // in list order
    std::vector<UnclosedBlock> problems;
    std::vector<ConversionNote> notes;
    // Pages an interrupted run left half written; Dynamize puts them back.
    std::vector<std::string> recoverable;
    // Pages edited since such a run; Dynamize leaves them as they are.
    std::vector<KeptRecoveryCopy> changedSinceInterrupted;
};

// Runs the conversion without writing and keeps what would change. A file
// error is thrown, as Dynamize ends on it.
PreviewData CollectPreview(ConversionRequest request);

// The files a Dynamize would change, the diff of the selected one, and the
// problems and notes it would report. Accepted means: Dynamize now.
class CPreviewDlg : public QDialog {
    Q_OBJECT

public:
    CPreviewDlg(PreviewData data, std::int32_t pathBreak, QWidget* parent = nullptr);

    // The text of the button that accepts, for a preview of another change
    // than Dynamize (wrapping a repeated part).
    void SetAcceptText(const QString& text);

    // The controls, by their role; for the tests.
    QLabel* CountLabel() const {
        return m_countLabel;
    }
    QTreeWidget* FileList() const {
        return m_fileList;
    }
    QPlainTextEdit* DiffView() const {
        return m_diffView;
    }
    QListWidget* ReportList() const {
        return m_reportList;
    }
    QPushButton* DynamizeButton() const {
        return m_dynamizeButton;
    }
    QPushButton* CloseButton() const {
        return m_closeButton;
    }

private:
    void CreateControls();
    void CreateFileList();
    void CreateDiffView();
    void CreateReportList();
    void LayOutControls();
    void OnSelectFile();
    void OnOpenReport(QListWidgetItem* item);

    PreviewData m_data;
    std::int32_t m_pathBreak;
    QLabel* m_countLabel = nullptr;
    QTreeWidget* m_fileList = nullptr;
    QPlainTextEdit* m_diffView = nullptr;
    QListWidget* m_reportList = nullptr;
    QPushButton* m_dynamizeButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};

} // namespace quillstamper
