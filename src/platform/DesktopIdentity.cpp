#include "platform/DesktopIdentity.h"

#include <QGuiApplication>
#include <QObject>

#ifdef QVX_HAVE_XCB
#include <QEvent>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 0, std::uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

class DesktopFileAnnouncer : public QObject {
public:
    DesktopFileAnnouncer(xcb_connection_t* c, const QString& name) : QObject(qApp), c_(c), name_(name.toUtf8()) {
        utf8_ = internAtom(c, "UTF8_STRING");
        gtk_ = internAtom(c, "_GTK_APPLICATION_ID");
        kde_ = internAtom(c, "_KDE_NET_WM_DESKTOP_FILE");
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::PlatformSurface &&
            static_cast<QPlatformSurfaceEvent*>(e)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceCreated) {
            auto* w = qobject_cast<QWindow*>(o);
            if (w && w->isTopLevel() && utf8_ != XCB_ATOM_NONE) {
                // The window's id exists once the native surface does; the
                // properties are set before the window is mapped, so the
                // desktop reads them when it first sees the window.
                const auto id = xcb_window_t(w->winId());
                for (xcb_atom_t property : {gtk_, kde_}) {
                    if (property != XCB_ATOM_NONE)
                        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, id, property, utf8_, 8,
                                            std::uint32_t(name_.size()), name_.constData());
                }
                xcb_flush(c_);
            }
        }
        return false;
    }

private:
    xcb_connection_t* c_;
    QByteArray name_;
    xcb_atom_t utf8_ = XCB_ATOM_NONE, gtk_ = XCB_ATOM_NONE, kde_ = XCB_ATOM_NONE;
};

}  // namespace

void announceDesktopFile(const QString& desktopFileName) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || desktopFileName.isEmpty())
        return;
    qApp->installEventFilter(new DesktopFileAnnouncer(x11->connection(), desktopFileName));
}

#else

void announceDesktopFile(const QString&) {}

#endif
