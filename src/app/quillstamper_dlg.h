#pragma once

#include "app/file_list_box.h"
#include "project/workspace.h"
#include "widgets/platform.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenuBar;
class QPushButton;
class QUrl;

namespace quillstamper {

// The main window. It owns the workspace; every button, menu item and key
// reaches exactly one handler through the message table, and every handler
// runs inside the dispatcher, which reports a file error in the standard
// error box and leaves the window usable.
class CQuillstamperDlg : public QDialog {
    Q_OBJECT

public:
    explicit CQuillstamperDlg(Platform& platform, QWidget* parent = nullptr);
    // Opens this project file as Open Project would, once the window has appeared.
    CQuillstamperDlg(Platform& platform, std::string startProject, QWidget* parent = nullptr);

    const Workspace& GetWorkspace() const {
        return m_workspace;
    }

    // Handlers, one per command.
    void OnAddWebFiles();
    void OnAddTemplateFiles();
    void OnNewProject();
    void OnOpenProject();
    void OnSaveProject();
    void OnSaveProjectAs();
    void OnDynamize();
    void OnCheckFiles();
    void OnPreviewChanges();
    void OnFindRepeatedParts();
    void OnOptions();
    void OnProjectSettings();
    void OnShowHelpFile();
    void OnGoToWebsite();
    void OnHelpInfo();
    void OnAbout();
    void OnExit();

    // The controls, by their role; for the window's tests.
    QListWidget* WebListBox() const {
        return m_webListBox;
    }
    QListWidget* TemplateListBox() const {
        return m_templateListBox;
    }
    QLabel* ActivityLabel() const {
        return m_activityLabel;
    }
    QLabel* CurrentFileLabel() const {
        return m_currentFileLabel;
    }
    QLabel* CountsLabel() const {
        return m_countsLabel;
    }
    QPushButton* DynamizeButton() const {
        return m_dynamizeButton;
    }
    QMenuBar* MenuBar() const {
        return m_menuBar;
    }
    // The menu item with this text (mnemonics included), or nullptr.
    QAction* MenuAction(const QString& text) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using Handler = void (CQuillstamperDlg::*)();

    void CreateControls();
    void BindMessageTable();
    void BindButtons();
    void CreateMenuBar();
    void BindListBoxes();
    // Runs the handler through the dispatcher whenever the sender's signal comes.
    template <typename Sender, typename Signal>
    void Bind(Sender* sender, Signal signal, Handler handler);
    void PlaceMenuBar();
    void Dispatch(Handler handler);
    void Dispatch(const std::function<void()>& command);

    // Pushes the three status texts into their labels and paints them now,
    // so that a long run shows the file in hand.
    void RefreshStatus();
    void ShowMessage(const std::string& text);
    std::string ReadSetupValue(const QString& name);
    void OpenSetupValue(const QString& name);
    void AddFiles(const QString& filter, FileListBox* listBox);
    void RebuildListBoxes();
    // Adds the paths to the end of the list box's list, and counts them.
    void AppendEntries(FileListBox* listBox, const FileList& paths);
    void RemoveSelectedEntries(FileListBox* listBox);
    // A drop is taken when it holds a project file, or files for a list box.
    bool TakesDrop(const FileListBox* listBox, const QList<QUrl>& urls) const;
    void DropFiles(FileListBox* listBox, const QList<QUrl>& urls);
    void OpenProjectFrom(const std::function<std::optional<std::string>()>& askForPath);
    void SaveProjectFile(bool askForName);

    Platform& m_platform;
    Workspace m_workspace;

    QMenuBar* m_menuBar = nullptr;
    FileListBox* m_webListBox = nullptr;        // 1001
    FileListBox* m_templateListBox = nullptr;   // 1002
    QPushButton* m_addWebButton = nullptr;      // 1003
    QPushButton* m_addTemplateButton = nullptr; // 1004
    QPushButton* m_dynamizeButton = nullptr;    // 1005
    QPushButton* m_cancelButton = nullptr;      // 2
    QLabel* m_currentFileLabel = nullptr;       // 1006
    QLabel* m_activityLabel = nullptr;          // 1007
    QLabel* m_countsLabel = nullptr;            // 1008
    bool m_shown = false;
    std::string m_startProject;
};

} // namespace quillstamper
