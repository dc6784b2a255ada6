#pragma once

#include "app/platform.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quillstamper::test {

// A platform with scripted answers that records what the window asked for.
// A call for which no answer was queued fails the running test and answers
// as a cancelled dialog would.
class FakePlatform : public Platform {
public:
    struct Message {
        QWidget* owner;
        QString caption;
        QString text;
        Icon icon;
    };

    void ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                     Icon icon) override;
    QStringList AskOpenFileNames(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskSaveFileName(QWidget* owner, const QString& defaultName,
                                           const QString& defaultSuffix,
                                           const QString& filter) override;
    int RunDialog(QDialog& dialog) override;
    std::optional<QString> ReadSetupValue(const QString& name) override;
    void OpenExternally(const QString& text) override;

    // True when every queued answer was used.
    bool AllAnswersUsed() const;

    // Answers, used in order. An empty list or text is a cancelled dialog.
    std::deque<QStringList> openFileNames;
    std::deque<QString> openFileName;
    std::deque<QString> saveFileName;
    // One per modal dialog: ends it (accept() or reject()) and returns its code.
    std::deque<std::function<int(QDialog&)>> dialogRuns;
    std::map<QString, QString> setupValues;
    // Runs while each message is on screen.
    std::function<void()> onMessage;

    // What the window asked for.
    std::vector<Message> messages;
    QStringList filters;
    QStringList saveRequests; // "default name|default suffix"
    QStringList setupValuesRead;
    QStringList opened;
};

} // namespace quillstamper::test
