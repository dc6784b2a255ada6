#include "app/quillstamper_app.h"

#include "app/quillstamper_dlg.h"
#include "widgets/qt_platform.h"
#include "widgets/text_edges.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include <cstdio>
#include <string>

namespace quillstamper {

namespace {

// --help and --version print and end before QApplication, which needs a
// display: the manual page is made from them on build machines without one.
// Other arguments stay the window's, Qt's own options (-style ...) among them.
bool AnswerHelpOrVersion(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quillstamper: fills the template blocks of web pages from template "
                       "files, in a window. quillstamper-cli does the same on the command line."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("print this help and exit"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("print the version and exit"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("PROJECT"),
                                 QStringLiteral("project file (.trvx) to open at start"),
                                 QStringLiteral("[PROJECT]"));
    parser.parse(arguments);
    if (!parser.isSet(help) && !parser.isSet(version)) {
        return false;
    }
    if (parser.isSet(version)) {
        std::fputs("quillstamper " QUILLSTAMPER_VERSION "\n", stdout);
        return true;
    }
    // The usage line names the program, not the path it was started by.
    int nameCount = 1;
    char name[] = "quillstamper";
    char* names[] = {name, nullptr};
    const QCoreApplication core(nameCount, names);
    std::fputs(parser.helpText().toUtf8().constData(), stdout);
    return true;
}

} // namespace

bool CQuillstamperApp::InitInstance(int& argc, char** argv) {
    if (AnswerHelpOrVersion(argc, argv)) {
        return false;
    }
    QApplication application(argc, argv);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon-32.png"), QSize(32, 32));
    QApplication::setWindowIcon(icon);

    QtPlatform platform;
    // "quillstamper PROJECT": the desktop hands over the project file opened with it.
    const QStringList arguments = QApplication::arguments();
    CQuillstamperDlg dialog(platform,
                            arguments.size() > 1
                                ? PathFromDialog(QFileInfo(arguments.at(1)).absoluteFilePath())
                                : std::string());
    dialog.setWindowIcon(icon);
    dialog.exec();
    return false;
}

} // namespace quillstamper
