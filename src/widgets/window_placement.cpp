#include "widgets/window_placement.h"

#include <QMargins>
#include <QRect>
#include <QWidget>

namespace quillstamper {

namespace {

QMargins FrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

} // namespace

void CentreOnParentFrame(QWidget& dialog) {
    const QWidget* parent = dialog.parentWidget();
    if (parent == nullptr) {
        return;
    }
    const QWidget* owner = parent->window();
    // Before its first showing the window manager has not framed the dialog
    // yet; it will get the frame its owner has.
    QMargins margins = FrameMargins(dialog);
    if (margins.isNull()) {
        margins = FrameMargins(*owner);
    }
    QRect frame(QPoint(0, 0), dialog.size().grownBy(margins));
    frame.moveCenter(owner->frameGeometry().center());
    // move() takes the frame's corner only once the frame is known; the
    // geometry is always the inside's.
    dialog.setGeometry(
        QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), dialog.size()));
}

} // namespace quillstamper
