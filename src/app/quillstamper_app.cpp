#include "app/quillstamper_app.h"

#include "app/quillstamper_dlg.h"
#include "widgets/qt_platform.h"
#include "widgets/text_edges.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include <string>

namespace quillstamper {

bool CQuillstamperApp::InitInstance(int& argc, char** argv) {
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
