#pragma once

#include "widgets/platform.h"
#include "workspace/workspace.h"

#include <QDialog>

#include <string>

class QAction;
class QLabel;
class QListWidget;
class QMenuBar;
class QPushButton;

namespace quillstamper {

// The main window. It owns the workspace; every button, menu item and key
// reaches exactly one handler through the message table, and every handler
// runs inside the dispatcher, which reports a file error in the standard
// error box and leaves the window usable.
class CQuillstamperDlg : public QDialog {
    Q_OBJECT

public:
    explicit CQuillstamperDlg(Platform& platform, QWidget* parent = nullptr);

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
    void OnOptions();
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

private:
    using Handler = void (CQuillstamperDlg::*)();

    void CreateControls();
    void BindMessageTable();
    void PlaceMenuBar();
    void Dispatch(Handler handler);

    // Pushes the three status texts into their labels and paints them now,
    // so that a long run shows the file in hand.
    void RefreshStatus();
    void ShowMessage(const std::string& text);
    std::string ReadSetupValue(const QString& name);
    void OpenSetupValue(const QString& name);
    void AddFiles(const QString& filter, FileList& files, QListWidget* listBox);
    void RebuildListBoxes();
    void SaveProjectFile(bool askForName);

    Platform& m_platform;
    Workspace m_workspace;

    QMenuBar* m_menuBar = nullptr;
    QListWidget* m_webListBox = nullptr;        // 1001
    QListWidget* m_templateListBox = nullptr;   // 1002
    QPushButton* m_addWebButton = nullptr;      // 1003
    QPushButton* m_addTemplateButton = nullptr; // 1004
    QPushButton* m_dynamizeButton = nullptr;    // 1005
    QPushButton* m_cancelButton = nullptr;      // 2
    QLabel* m_currentFileLabel = nullptr;       // 1006
    QLabel* m_activityLabel = nullptr;          // 1007
    QLabel* m_countsLabel = nullptr;            // 1008
    bool m_shown = false;
};

} // namespace quillstamper
