#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QWidget;

namespace quillstamper {

// Every operation of the window that reaches outside the program: message
// boxes, file dialogs, modal dialogs, setup values and the shell. The program
// passes the real one in; tests pass a fake with scripted answers.
class Platform {
public:
    enum class Icon { None, Stop };

    virtual ~Platform() = default;

    // A modal message box with an OK button only.
    virtual void ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                             Icon icon) = 0;

    // Filters are given as "description|pattern;pattern". An empty list or
    // nothing means the user cancelled.
    virtual QStringList AskOpenFileNames(QWidget* owner, const QString& filter) = 0;
    virtual std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) = 0;
    // The dialog proposes defaultName, appends defaultSuffix to a name typed
    // without one and asks before replacing an existing file.
    virtual std::optional<QString> AskSaveFileName(QWidget* owner, const QString& defaultName,
                                                   const QString& defaultSuffix,
                                                   const QString& filter) = 0;

    // A folder the user chooses, starting in start; nothing when cancelled.
    virtual std::optional<QString> AskFolder(QWidget* owner, const QString& start) = 0;

    // Runs a dialog modally and returns its result code.
    virtual int RunDialog(QDialog& dialog) = 0;

    // A value of the setup written by the installer; nothing when it is absent.
    virtual std::optional<QString> ReadSetupValue(const QString& name) = 0;

    // Hands a file or an address to the desktop to open; the outcome is not
    // reported.
    virtual void OpenExternally(const QString& text) = 0;
};

} // namespace quillstamper
