// Starts the real main window offscreen, measures how long it takes to be
// shown, then opens a project, opens Preview Changes (timed until the dialog
// is shown) and runs Dynamize through the window, counting how often the
// current-file line was painted with a new text.

#include "app/quillstamper_dlg.h"
#include "widgets/null_platform.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

namespace {

// Answers the open dialog with the project and records messages.
class ScriptedPlatform : public quillstamper::NullPlatform {
public:
    explicit ScriptedPlatform(QString project) : m_project(std::move(project)) {}

    void ShowMessage(QWidget*, const QString&, const QString& text, Icon) override {
        m_lastMessage = text;
    }
    std::optional<QString> AskOpenFileName(QWidget*, const QString&) override {
        return m_project;
    }
    // Shows the dialog, tells that it is ready, and closes it.
    int RunDialog(QDialog& dialog) override {
        dialog.show();
        QApplication::processEvents();
        if (m_onDialogShown) {
            m_onDialogShown();
        }
        dialog.reject();
        return QDialog::Rejected;
    }
    void SetOnDialogShown(std::function<void()> onShown) {
        m_onDialogShown = std::move(onShown);
    }

    const QString& LastMessage() const {
        return m_lastMessage;
    }

private:
    QString m_project;
    QString m_lastMessage;
    std::function<void()> m_onDialogShown;
};

// Counts paints of a label that show a text it did not show before.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const QString text = static_cast<QLabel*>(watched)->text();
            if (text != m_last) {
                m_last = text;
                ++m_changes;
            }
        }
        return false;
    }
    int Changes() const {
        return m_changes;
    }

private:
    QString m_last;
    int m_changes = 0;
};

double MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

// The second argument is the monotonic clock when the caller started the
// process, so that loading the program counts too.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillstamper-window-bench PROJECT.trvx STARTED-AT-SECONDS\n");
        return 2;
    }
    const double startedAt = std::atof(argv[2]);
    QApplication application(argc, argv);
    ScriptedPlatform platform(QString::fromLocal8Bit(argv[1]));
    quillstamper::CQuillstamperDlg window(platform);
    window.show();
    QApplication::processEvents();
    const double shown = MonotonicSeconds() - startedAt;

    window.OnOpenProject();
    QElapsedTimer preview;
    double previewShown = -1;
    platform.SetOnDialogShown([&] { previewShown = preview.nsecsElapsed() / 1e9; });
    preview.start();
    window.OnPreviewChanges();

    PaintCounter counter;
    window.CurrentFileLabel()->installEventFilter(&counter);
    QElapsedTimer dynamize;
    dynamize.start();
    window.OnDynamize();
    const double converted = dynamize.nsecsElapsed() / 1e9;

    std::printf("shown %.4f\npreview %.4f\ndynamize %.4f\nchanges %d\n", shown, previewShown,
                converted, counter.Changes());
    return platform.LastMessage() == QStringLiteral("Conversion done!") ? 0 : 1;
}
