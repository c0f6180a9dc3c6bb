#pragma once
// The process's GLib connection to the session bus (the one the secret
// service library talks through), for tests that start a bus of their own.
// GLib ends a process whose bus connection closes; a test that stops its own
// bus keeps the process alive by holding the connection with that turned off.

namespace velto::test {

// Opens the connection to the bus that DBUS_SESSION_BUS_ADDRESS names and
// keeps it open without ending the process when the bus goes; false when the
// bus cannot be reached.
bool holdSessionBus();
// Closes and lets go of the held connection.
void releaseSessionBus();

}  // namespace velto::test
