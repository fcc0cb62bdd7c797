// Command and message numbers the program's windows share.
#pragma once

#include <QEvent>

namespace zendrik {

// "Show the report again with the current settings", sent to every window of the main frame.
inline constexpr int WM_USER = 0x400;
inline constexpr int WM_UPDATE_DISPLAY = WM_USER + 500;

// The event that carries it.
inline const QEvent::Type kUpdateDisplayEvent = static_cast<QEvent::Type>(QEvent::User + WM_UPDATE_DISPLAY);

// The product title: window title and message box caption.
inline constexpr const char* kProductTitle = "Zendrik";

}  // namespace zendrik
