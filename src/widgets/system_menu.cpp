#include "widgets/system_menu.h"

#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace quillstamper {

bool IsAboutSystemCommand(std::uint32_t commandId) {
    return (commandId & 0xFFF0u) == kAboutSystemCommand;
}

#ifdef Q_OS_WIN

void AppendAboutToSystemMenu(QWidget& window) {
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (menu == nullptr) {
        return;
    }
    const QString text = QStringLiteral("Inf&o über Quillstamper...");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kAboutSystemCommand, reinterpret_cast<LPCWSTR>(text.utf16()));
}

bool IsAboutSystemMenuEvent(const void* nativeMessage) {
    const MSG* message = static_cast<const MSG*>(nativeMessage);
    return message->message == WM_SYSCOMMAND &&
           IsAboutSystemCommand(static_cast<std::uint32_t>(message->wParam));
}

#else

void AppendAboutToSystemMenu(QWidget&) {}

bool IsAboutSystemMenuEvent(const void*) {
    return false;
}

#endif

} // namespace quillstamper
