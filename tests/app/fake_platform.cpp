#include "fake_platform.h"

#include <QDialog>
#include <QTest>

namespace quillstamper::test {

namespace {

// The next answer, or the cancelled one when none was queued.
template <typename T> T TakeAnswer(std::deque<T>& answers, T cancelled, const char* what) {
    if (answers.empty()) {
        QTest::qFail(what, __FILE__, __LINE__);
        return cancelled;
    }
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> Chosen(const QString& answer) {
    if (answer.isEmpty()) {
        return std::nullopt;
    }
    return answer;
}

} // namespace

void FakePlatform::ShowMessage(QWidget* owner, const QString& caption, const QString& text,
                               Icon icon) {
    messages.push_back({owner, caption, text, icon});
    if (onMessage) {
        onMessage();
    }
}

QStringList FakePlatform::AskOpenFileNames(QWidget*, const QString& filter) {
    filters.append(filter);
    return TakeAnswer(openFileNames, QStringList(), "unexpected open dialog (several files)");
}

std::optional<QString> FakePlatform::AskOpenFileName(QWidget*, const QString& filter) {
    filters.append(filter);
    return Chosen(TakeAnswer(openFileName, QString(), "unexpected open dialog"));
}

std::optional<QString> FakePlatform::AskSaveFileName(QWidget*, const QString& defaultName,
                                                     const QString& defaultSuffix,
                                                     const QString& filter) {
    filters.append(filter);
    saveRequests.append(defaultName + u'|' + defaultSuffix);
    return Chosen(TakeAnswer(saveFileName, QString(), "unexpected save dialog"));
}

int FakePlatform::RunDialog(QDialog& dialog) {
    const auto reject = [](QDialog& unexpected) {
        unexpected.reject();
        return unexpected.result();
    };
    return TakeAnswer<std::function<int(QDialog&)>>(dialogRuns, reject,
                                                    "unexpected modal dialog")(dialog);
}

std::optional<QString> FakePlatform::ReadSetupValue(const QString& name) {
    setupValuesRead.append(name);
    const auto found = setupValues.find(name);
    if (found == setupValues.end()) {
        return std::nullopt;
    }
    return found->second;
}

void FakePlatform::OpenExternally(const QString& text) {
    opened.append(text);
}

bool FakePlatform::AllAnswersUsed() const {
    return openFileNames.empty() && openFileName.empty() && saveFileName.empty() &&
           dialogRuns.empty();
}

} // namespace quillstamper::test
