#pragma once

class QWidget;

namespace quillstamper {

// Moves a dialog so that the centre of its frame is the centre of its
// parent window's frame. Dialogs call it from showEvent: Qt's own placement
// leaves out the title bar the window manager adds, so the dialog sits above
// the middle. A dialog without a parent stays where it is.
void CentreOnParentFrame(QWidget& dialog);

} // namespace quillstamper
