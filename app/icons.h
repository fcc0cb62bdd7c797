// The program's own images: the application icon and the five toolbar images.
#pragma once

#include <QIcon>
#include <QString>

namespace zendrik {

// The application icon, at every size the desktop asks for.
QIcon AppIcon();

// A toolbar image by name: open, microphone, save, properties, about (16 x 17 pixels).
QIcon ToolbarIcon(const QString& name);

// Whether all toolbar images can be loaded (they are compiled into the program).
bool ToolbarImagesAvailable();

}  // namespace zendrik
