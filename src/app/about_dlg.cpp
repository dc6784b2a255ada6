#include "app/about_dlg.h"

#include "widgets/dialog_units.h"
#include "widgets/window_placement.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace quillstamper {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About ..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    const DialogUnits units(font());
    setFixedSize(units.ToPixelsX(235), units.ToPixelsY(60));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icon-32.png")).pixmap(32, 32));
    icon->setGeometry(units.ToPixels(11, 17, 21, 20));
    icon->resize(icon->sizeHint());

    auto* version = new QLabel(QStringLiteral("Quillstamper Version 1.0"), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(units.ToPixels(40, 10, 119, 8));
    version->setMinimumHeight(version->sizeHint().height());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.ToPixels(178, 7, 50, 14));
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) { // the window system's shows keep where the user put it
        CentreOnParentFrame(*this);
    }
}

} // namespace quillstamper
