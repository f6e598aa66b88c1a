#pragma once

namespace inkvale {

/// Keeps the desktop libraries from starting a session bus of their own. Without a session bus
/// (no DBUS_SESSION_BUS_ADDRESS and no socket at $XDG_RUNTIME_DIR/bus), the first library that
/// asks for one (Qt's accessibility bridge, its platform theme) has `dbus-launch` start a
/// dbus-daemon, which outlives the program. The program needs no bus, so in that case the
/// address is set to one that names no transport: asking fails at once and starts nothing.
/// Called before the application object is made; a session that has a bus keeps it.
void declineAutolaunchedSessionBus();

} // namespace inkvale
