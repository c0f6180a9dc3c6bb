// No Qt in this file: GLib's headers use names that Qt defines as macros.
#include "SessionBus.h"

#include <gio/gio.h>

namespace velto::test {

namespace {
GDBusConnection* held = nullptr;
}

bool holdSessionBus()
{
    if (held)
        return true;
    GError* error = nullptr;
    held = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!held) {
        g_printerr("session bus: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    g_dbus_connection_set_exit_on_close(held, FALSE);
    return true;
}

void releaseSessionBus()
{
    if (!held)
        return;
    g_dbus_connection_close_sync(held, nullptr, nullptr);
    g_object_unref(held);
    held = nullptr;
}

}  // namespace velto::test
