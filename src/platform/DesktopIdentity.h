#pragma once
#include <QString>

// Tells the desktop which menu entry each of the program's windows belongs
// to. On Wayland the toolkit sends the desktop file name as the window's
// application id itself; on X11 it sets only WM_CLASS, so the task bars that
// match windows to their launcher by the desktop file (rather than by
// StartupWMClass) show a generic icon. There every top-level window gets the
// two properties those desktops read, _GTK_APPLICATION_ID and
// _KDE_NET_WM_DESKTOP_FILE, as soon as its native window exists.
// Call once after the application object is made; a no-op off X11 or when
// the program was built without the X11 client library.
void announceDesktopFile(const QString& desktopFileName);
