// Finding out, before Qt starts, whether the window system it would connect
// to answers. Qt ends the whole process when its platform cannot connect, so
// the host asks first and refuses with a message instead.
#pragma once

#include <optional>
#include <string>

namespace zenqt {

// The platform Qt should be started with, or nullopt when no display answers.
// An empty string: Qt's own choice works (QT_QPA_PLATFORM names a platform
// that needs no display, such as offscreen or minimal, or one whose display
// answers; without QT_QPA_PLATFORM the X display of DISPLAY answers).
// "wayland": only the Wayland compositor of WAYLAND_DISPLAY answers, which Qt
// would not try on its own. Reads the environment and opens (and closes)
// sockets; waits at most about two seconds for a remote X server.
std::optional<std::string> ChooseQtPlatform();

// Whether the X server named by a DISPLAY value ("[protocol/][host]:N[.S]")
// accepts a connection: for no host or "unix", the local socket of display N
// (abstract, then /tmp/.X11-unix/XN; with no host also TCP on localhost),
// else TCP port 6000 + N of the host. False for a value it cannot parse.
bool XDisplayAnswers(const std::string& display);

// Whether the Wayland compositor accepts a connection on its socket: `name`
// is an absolute path, else a file in `runtimeDir` (XDG_RUNTIME_DIR); an
// empty name means "wayland-0". False without a runtime folder for a
// relative name.
bool WaylandDisplayAnswers(const std::string& name, const std::string& runtimeDir);

} // namespace zenqt
