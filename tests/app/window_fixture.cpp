#include "window_fixture.h"

#include "project/project_file.h"
#include "support/test_files.h"

#include <QAction>
#include <QPushButton>

#include <utility>

namespace quillstamper::test {

namespace {

template <typename T> T Take(std::deque<T>& answers) {
    if (answers.empty()) {
        QTest::qFail("a dialog that nobody expected", __FILE__, __LINE__);
        return T();
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList ScriptedPlatform::TakeTexts() {
    QStringList texts;
    for (const QString& message : std::exchange(messages, {})) {
        const bool stop = message.startsWith('!');
        texts << (stop ? "!" : "") + message.section('|', 1);
    }
    return texts;
}

void ScriptedPlatform::ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                                   Icon icon) {
    if (window != nullptr && owner != window) {
        QTest::qFail("a message box not owned by the window", __FILE__, __LINE__);
    }
    messages << (icon == Icon::Stop ? "!" : "") + caption + '|' + text;
    if (onMessage) {
        onMessage();
    }
}

QStringList ScriptedPlatform::AskOpenFileNames(QWidget*, const QString& filter) {
    asked << filter;
    return Take(chosen);
}

std::optional<QString> ScriptedPlatform::AskOpenFileName(QWidget* owner, const QString& filter) {
    const QStringList files = AskOpenFileNames(owner, filter);
    return files.isEmpty() ? std::nullopt : std::optional(files.first());
}

std::optional<QString> ScriptedPlatform::AskSaveFileName(QWidget* owner, const QString& name,
                                                         const QString& suffix,
                                                         const QString& filter) {
    asked << name + u'|' + suffix;
    return AskOpenFileName(owner, filter);
}

// A folder dialog takes the next chosen path, as a file dialog does.
std::optional<QString> ScriptedPlatform::AskFolder(QWidget*, const QString& start) {
    asked << "folder|" + start;
    const QStringList folders = Take(chosen);
    return folders.isEmpty() ? std::nullopt : std::optional(folders.first());
}

int ScriptedPlatform::RunDialog(QDialog& dialog) {
    const auto run = Take(dialogRuns);
    run ? run(dialog) : dialog.reject();
    return dialog.result();
}

std::optional<QString> ScriptedPlatform::ReadSetupValue(const QString& name) {
    const auto found = setupValues.find(name);
    return found == setupValues.end() ? std::nullopt : std::optional(found->second);
}

void ScriptedPlatform::OpenExternally(const QString& text) {
    opened << text;
}

void EndDialog(QDialog& dialog, bool ok) {
    ok ? dialog.accept() : dialog.reject();
}

std::string ProjectBytes(const FileList& web, const FileList& templates,
                         const IdentifierTable& identifiers) {
    return FormatProjectFile({web, templates, identifiers});
}

std::string WriteProject(const std::string& path, const FileList& web, const FileList& templates,
                         const IdentifierTable& identifiers) {
    WriteBytes(path, ProjectBytes(web, templates, identifiers));
    return path;
}

void Add(CQuillstamperDlg& window, ScriptedPlatform& platform, bool web,
         const QStringList& chosen) {
    platform.chosen.push_back(chosen);
    QPushButton* found = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == "Add" && (found == nullptr || (button->y() < found->y()) == web)) {
            found = button;
        }
    }
    found->click();
}

void Trigger(const CQuillstamperDlg& window, const char* menuText) {
    QAction* action = window.MenuAction(menuText);
    QVERIFY2(action != nullptr, menuText);
    action->trigger();
}

void OpenProject(CQuillstamperDlg& window, ScriptedPlatform& platform, const std::string& path) {
    platform.chosen.push_back({Q(path)});
    Trigger(window, "&Open Project");
}

} // namespace quillstamper::test
