// Window list of an X11 desktop, read through xcb on a connection of our own.
// xcb reports a window that vanished between two requests as an error reply,
// where Xlib's default handler would end the process.
#include "WindowSource.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtDebug>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace screen_grab {
namespace {

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

class XcbWindows final : public WindowSource {
public:
    explicit XcbWindows(xcb_connection_t* connection, xcb_window_t root) : c_(connection), root_(root)
    {
        const char* names[] = {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST", "WM_STATE",
                               "_NET_WM_NAME", "UTF8_STRING", "_NET_ACTIVE_WINDOW",
                               "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP",
                               "_NET_WM_WINDOW_TYPE_DOCK"};
        xcb_intern_atom_cookie_t cookies[kAtomCount];
        for (int i = 0; i < kAtomCount; ++i)
            cookies[i] = xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
        for (int i = 0; i < kAtomCount; ++i) {
            Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c_, cookies[i], nullptr));
            atoms_[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
    }
    ~XcbWindows() override { xcb_disconnect(c_); }

    std::vector<capture_source> windows() override
    {
        std::vector<xcb_window_t> stacking;  // bottom to top
        bool managed = readWindowList(root_, atom(NetClientListStacking), &stacking) ||
                       readWindowList(root_, atom(NetClientList), &stacking);
        if (!managed)
            stacking = topLevelClients();
        std::vector<capture_source> list;
        for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
            if (!isViewable(*it) || isDesktopOrDock(*it))
                continue;
            list.push_back({static_cast<int64_t>(*it), title(*it)});
        }
        return list;
    }

    bool isViewable(int64_t id) override
    {
        if (!validId(id))
            return false;
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, xid(id)), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    bool rect(int64_t id, QRect* rect) override
    {
        if (!validId(id))
            return false;
        xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(c_, xid(id));
        xcb_translate_coordinates_cookie_t originCookie = xcb_translate_coordinates(c_, xid(id), root_, 0, 0);
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c_, geometryCookie, nullptr));
        Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(c_, originCookie, nullptr));
        if (!geometry || !origin)
            return false;
        *rect = toLogical(QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height));
        return true;
    }

    bool raise(int64_t id) override
    {
        if (!isViewable(id))
            return false;
        if (atom(NetActiveWindow) != XCB_ATOM_NONE) {
            // A window manager acts on the request; source 2 = a pager-like tool.
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = xid(id);
            event.type = atom(NetActiveWindow);
            event.data.data32[0] = 2;
            event.data.data32[1] = XCB_CURRENT_TIME;
            xcb_send_event(c_, 0, root_,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&event));
        }
        // Without a window manager nobody reads the request: restack directly.
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c_, xid(id), XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(c_);
        return true;
    }

private:
    enum AtomIndex {
        NetClientListStacking,
        NetClientList,
        WmState,
        NetWmName,
        Utf8String,
        NetActiveWindow,
        NetWmWindowType,
        NetWmWindowTypeDesktop,
        NetWmWindowTypeDock,
        kAtomCount
    };

    xcb_atom_t atom(AtomIndex index) const { return atoms_[index]; }
    static bool validId(int64_t id) { return id > 0 && id <= 0xFFFFFFFF; }
    static xcb_window_t xid(int64_t id) { return static_cast<xcb_window_t>(id); }

    // A property read of at most maxBytes; null when absent or the window is gone.
    Reply<xcb_get_property_reply_t> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                             uint32_t maxBytes)
    {
        if (name == XCB_ATOM_NONE)
            return nullptr;
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, name, type, 0, (maxBytes + 3) / 4), nullptr));
        if (!reply || reply->type == XCB_ATOM_NONE)
            return nullptr;
        return reply;
    }

    bool readWindowList(xcb_window_t window, xcb_atom_t name, std::vector<xcb_window_t>* out)
    {
        auto reply = property(window, name, XCB_ATOM_WINDOW, 65536 * 4);
        if (!reply || reply->format != 32)
            return false;
        const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        out->assign(ids, ids + count);
        return true;
    }

    bool hasWmState(xcb_window_t window) { return property(window, atom(WmState), XCB_ATOM_ANY, 4) != nullptr; }

    // Without a window manager's list: the top-level windows (or their direct
    // children, under a reparenting manager without the lists) that carry
    // WM_STATE; with no WM_STATE anywhere (nobody manages the windows), every
    // mapped top-level that is not override-redirect.
    std::vector<xcb_window_t> topLevelClients()
    {
        std::vector<xcb_window_t> withState;
        std::vector<xcb_window_t> plain;
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr));
        if (!tree)
            return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < count; ++i) {
            const xcb_window_t top = children[i];
            if (hasWmState(top)) {
                withState.push_back(top);
                continue;
            }
            if (xcb_window_t inner = childWithWmState(top)) {
                withState.push_back(inner);
                continue;
            }
            Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, top), nullptr));
            if (attributes && !attributes->override_redirect && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                plain.push_back(top);
        }
        return withState.empty() ? plain : withState;
    }

    xcb_window_t childWithWmState(xcb_window_t frame)
    {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c_, xcb_query_tree(c_, frame), nullptr));
        if (!tree)
            return 0;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < count; ++i) {
            if (hasWmState(children[i]))
                return children[i];
        }
        return 0;
    }

    bool isDesktopOrDock(xcb_window_t window)
    {
        auto reply = property(window, atom(NetWmWindowType), XCB_ATOM_ATOM, 64);
        if (!reply || reply->format != 32)
            return false;
        const auto* types = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        for (int i = 0; i < count; ++i) {
            if (types[i] == atom(NetWmWindowTypeDesktop) || types[i] == atom(NetWmWindowTypeDock))
                return true;
        }
        return false;
    }

    std::string title(xcb_window_t window)
    {
        if (auto reply = property(window, atom(NetWmName), atom(Utf8String), kMaxTitleBytes)) {
            if (reply->format == 8)
                return cleanTitle(bytes(reply.get()), false);
        }
        if (auto reply = property(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, kMaxTitleBytes)) {
            if (reply->format == 8)
                return cleanTitle(bytes(reply.get()), reply->type == XCB_ATOM_STRING);
        }
        return {};
    }

    static QByteArray bytes(xcb_get_property_reply_t* reply)
    {
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    }

    // Native pixels to Qt's logical coordinates: each screen keeps its native
    // origin and scales from there.
    static QRect toLogical(const QRect& native)
    {
        for (QScreen* screen : QGuiApplication::screens()) {
            const qreal ratio = screen->devicePixelRatio();
            const QPoint origin = screen->geometry().topLeft();
            const QRect nativeScreen(origin, screen->geometry().size() * ratio);
            if (!nativeScreen.contains(native.topLeft()) || ratio == 1.0)
                continue;
            return QRect(origin + (native.topLeft() - origin) / ratio, native.size() / ratio);
        }
        return native;
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_atom_t atoms_[kAtomCount];
};

}  // namespace

std::unique_ptr<WindowSource> makeXcbWindows()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<XcbWindows>(connection, it.data->root);
}

}  // namespace screen_grab
