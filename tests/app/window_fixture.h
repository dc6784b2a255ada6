#pragma once

// What the window's tests share: a scripted platform, project files, and the
// steps that drive the main window as a user does.

#include "app/quillstamper_dlg.h"
#include "base/site_definition.h"
#include "widgets/platform.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>
#include <map>
#include <string>

namespace quillstamper::test {

QString Q(const std::string& text);

// A platform with scripted answers that records what the window asked for. A
// question with no answer queued fails the test and counts as cancelled.
struct ScriptedPlatform : Platform {
    QWidget* window = nullptr;      // the owner of every message box, once set
    std::deque<QStringList> chosen; // one answer per file dialog; empty: cancelled
    // Each ends its dialog; an empty one rejects it.
    std::deque<std::function<void(QDialog&)>> dialogRuns;
    std::map<QString, QString> setupValues;
    std::function<void()> onMessage; // runs while each message is on screen
    QStringList messages;            // "caption|text", with a leading "!" for the stop icon
    QStringList asked;  // each file dialog's filter, a save dialog's "name|suffix" before it
    QStringList opened; // what was handed to the desktop

    // The texts of the messages so far (a leading "!" for the stop icon), which
    // are then forgotten.
    QStringList TakeTexts();
    bool AllAnswersUsed() const {
        return chosen.empty() && dialogRuns.empty();
    }

    void ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                     Icon icon) override;
    QStringList AskOpenFileNames(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskSaveFileName(QWidget* owner, const QString& name,
                                           const QString& suffix, const QString& filter) override;
    std::optional<QString> AskFolder(QWidget* owner, const QString& start) override;
    int RunDialog(QDialog& dialog) override;
    std::optional<QString> ReadSetupValue(const QString& name) override;
    void OpenExternally(const QString& text) override;
};

// A dialog run for one kind of dialog; another kind fails the test and is rejected.
template <typename Dialog> std::function<void(QDialog&)> RunAs(std::function<void(Dialog&)> run) {
    return [run = std::move(run)](QDialog& dialog) {
        if (auto* expected = qobject_cast<Dialog*>(&dialog)) {
            run(*expected);
            return;
        }
        dialog.reject();
        QTest::qFail("a dialog that nobody expected", __FILE__, __LINE__);
    };
}

// Ends a dialog as OK (through the dialog's own accept) or Cancel does.
void EndDialog(QDialog& dialog, bool ok);

// The bytes of a project file with these lists and marker table, as Save
// Project writes them.
std::string ProjectBytes(const FileList& web, const FileList& templates,
                         const IdentifierTable& identifiers = DefaultIdentifiers());
// Writes ProjectBytes() to path and returns path.
std::string WriteProject(const std::string& path, const FileList& web, const FileList& templates,
                         const IdentifierTable& identifiers = DefaultIdentifiers());

// Chooses files for the web list's Add (the upper button) or the template list's.
void Add(CQuillstamperDlg& window, ScriptedPlatform& platform, bool web, const QStringList& chosen);
// Runs the menu item with this text (mnemonics included); fails the test when
// there is none.
void Trigger(const CQuillstamperDlg& window, const char* menuText);
void OpenProject(CQuillstamperDlg& window, ScriptedPlatform& platform, const std::string& path);

} // namespace quillstamper::test
