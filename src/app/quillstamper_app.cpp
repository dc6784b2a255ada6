#include "app/quillstamper_app.h"

#include "app/quillstamper_dlg.h"
#include "widgets/qt_platform.h"

#include <QApplication>
#include <QIcon>

namespace quillstamper {

bool CQuillstamperApp::InitInstance(int& argc, char** argv) {
    QApplication application(argc, argv);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon-32.png"), QSize(32, 32));
    QApplication::setWindowIcon(icon);

    QtPlatform platform;
    CQuillstamperDlg dialog(platform);
    dialog.setWindowIcon(icon);
    dialog.exec();
    return false;
}

} // namespace quillstamper
