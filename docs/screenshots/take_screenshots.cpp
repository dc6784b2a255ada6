// Shows the main window with the example project loaded, then the Options
// dialog, the Project Settings dialog and the preview of a Dynamize, and
// saves a picture of each, window frame included.

#include "app/preview_dlg.h"
#include "app/quillstamper_dlg.h"
#include "options/project_settings_dlg.h"
#include "options/repeated_parts_dlg.h"
#include "widgets/null_platform.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdio>

namespace {

void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

// On a busy machine the window manager may frame a window late, or not yet
// run when it appears: waits for the frame, then lets the window paint.
bool WaitForFrame(const QWidget& window, int paintMilliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (window.frameGeometry().size() == window.size()) {
        if (timer.elapsed() > 20000) {
            std::fprintf(stderr, "no window frame: is a window manager running?\n");
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    Settle(paintMilliseconds);
    return true;
}

bool SaveWindowPicture(const QWidget& window, const QString& path) {
    const QRect frame = window.frameGeometry();
    const QPixmap picture = window.screen()->grabWindow(0).copy(frame);
    return picture.size() == frame.size() && picture.save(path);
}

// Answers the open dialog with the example project; shows modal dialogs long
// enough to take their picture.
class DemoPlatform : public quillstamper::NullPlatform {
public:
    DemoPlatform(QString project, QString outputFolder)
        : m_project(std::move(project)), m_outputFolder(std::move(outputFolder)) {}

    void ShowMessage(QWidget*, const QString&, const QString& text, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    std::optional<QString> AskOpenFileName(QWidget*, const QString&) override {
        return m_project;
    }
    int RunDialog(QDialog& dialog) override {
        dialog.show();
        const bool framed = WaitForFrame(dialog, 700);
        const QString name = qobject_cast<quillstamper::CPreviewDlg*>(&dialog) != nullptr
                                 ? QStringLiteral("/preview.png")
                             : qobject_cast<quillstamper::CProjectSettingsDlg*>(&dialog) != nullptr
                                 ? QStringLiteral("/project-settings.png")
                             : qobject_cast<quillstamper::CRepeatedPartsDlg*>(&dialog) != nullptr
                                 ? QStringLiteral("/repeated-parts.png")
                                 : QStringLiteral("/options-dialog.png");
        m_saved += framed && SaveWindowPicture(dialog, m_outputFolder + name) ? 1 : 0;
        dialog.reject();
        return QDialog::Rejected;
    }

    int Saved() const {
        return m_saved;
    }

private:
    QString m_project;
    QString m_outputFolder;
    int m_saved = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: take_screenshots PROJECT.trvx OUTPUT-FOLDER\n");
        return 2;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon-32.png")));
    DemoPlatform platform(QDir(QString::fromLocal8Bit(argv[1])).absolutePath(),
                          QString::fromLocal8Bit(argv[2]));
    quillstamper::CQuillstamperDlg window(platform);
    window.show();
    window.OnOpenProject();
    const bool mainSaved = WaitForFrame(window, 1000) &&
                           SaveWindowPicture(window, QString::fromLocal8Bit(argv[2]) +
                                                         QStringLiteral("/main-window.png"));
    window.OnOptions();
    window.OnProjectSettings();
    window.OnPreviewChanges();
    window.OnFindRepeatedParts();
    return mainSaved && platform.Saved() == 4 ? 0 : 1;
}
