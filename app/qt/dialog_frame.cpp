#include "app/qt/dialog_frame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace kestrova::qt {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, const std::string& name) {
    const ReplyPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// A property's value as bytes; empty if the window or the property is missing or of another
// type.
std::string Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                     xcb_atom_t type) {
    if (property == XCB_ATOM_NONE || type == XCB_ATOM_NONE)
        return {};
    const ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 256), nullptr));
    if (!reply || reply->type != type)
        return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// What an EWMH window manager calls itself: the _NET_WM_NAME of the window that the root
// window's _NET_SUPPORTING_WM_CHECK names.
std::string WindowManagerName(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem == 0)
        return {};
    const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK");
    const std::string checkWindow =
        Property(connection, screens.data->root, check, XCB_ATOM_WINDOW);
    if (checkWindow.size() != sizeof(xcb_window_t))
        return {};
    xcb_window_t window = XCB_WINDOW_NONE;
    checkWindow.copy(reinterpret_cast<char*>(&window), sizeof window);
    return Property(connection, window, Atom(connection, "_NET_WM_NAME"),
                    Atom(connection, "UTF8_STRING"));
}

} // namespace

void AskForACloseButtonOnly(QDialog& dialog) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr ||
        WindowManagerName(x11->connection()) != "Openbox")
        return;
    // Qt's X11 platform takes extra window types from this property of the native window, and
    // reads it when it applies the window's flags.
    constexpr int kToolbarType = 0x08;
    dialog.winId();
    QWindow* const window = dialog.windowHandle();
    window->setProperty("_q_xcb_wm_window_type", kToolbarType);
    // The context-help hint plays no part in an X11 window that exists: toggling it only makes
    // Qt apply the flags again.
    const Qt::WindowFlags flags = window->flags();
    window->setFlags(flags ^ Qt::WindowContextHelpButtonHint);
    window->setFlags(flags);
}

} // namespace kestrova::qt
