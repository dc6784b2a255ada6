#pragma once

#include <cstdint>

class QWidget;

namespace quillstamper {

// The id of the About item that the window adds to its system menu.
inline constexpr std::uint32_t kAboutSystemCommand = 0x0010;

// The system passes its own bits in the low four bits of a command id.
bool IsAboutSystemCommand(std::uint32_t commandId);

// Appends a separator and "Inf&o über Quillstamper..." to the window's native
// system menu where the platform has one (Windows); elsewhere the window
// manager owns that menu and the About box is reached through the Help menu.
void AppendAboutToSystemMenu(QWidget& window);

// True when a native event is a choice of the About item (Windows only).
bool IsAboutSystemMenuEvent(const void* nativeMessage);

} // namespace quillstamper
