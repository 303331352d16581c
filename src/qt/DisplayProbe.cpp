// The display probe of the Qt host (see DisplayProbe.h): plain socket
// connections, so that neither Xlib nor a Wayland client library is needed.
// A connection that is accepted counts as an answer; the server's handshake
// (and its access control) stays Qt's business.
#include "DisplayProbe.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zenqt {

namespace {

constexpr int kXTcpPort = 6000;
constexpr int kTcpWaitMs = 2000;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

class CSocket {
public:
    explicit CSocket(int fd) : m_fd(fd) {}
    ~CSocket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// A Unix socket path; a leading '\0' names an abstract socket (Linux), whose
// address length must not include a terminator.
bool UnixSocketAnswers(const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                                    (path[0] == '\0' ? 0 : 1));
    const CSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.Fd() < 0)
        return false;
    int result;
    do {
        result = connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), length);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// Connects without blocking longer than the wait: a host that drops the
// packets must not hold the program for a minute.
bool TcpAnswers(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool answered = false;
    for (const addrinfo* info = found; info != nullptr && !answered; info = info->ai_next) {
        const CSocket socket(::socket(info->ai_family, info->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                      info->ai_protocol));
        if (socket.Fd() < 0)
            continue;
        if (connect(socket.Fd(), info->ai_addr, info->ai_addrlen) == 0) {
            answered = true;
            break;
        }
        if (errno != EINPROGRESS)
            continue;
        pollfd wait{socket.Fd(), POLLOUT, 0};
        if (poll(&wait, 1, kTcpWaitMs) != 1)
            continue;
        int error = 0;
        socklen_t size = sizeof error;
        answered = getsockopt(socket.Fd(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    freeaddrinfo(found);
    return answered;
}

bool AllDigits(const std::string& text)
{
    if (text.empty() || text.size() > 6)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The first name of a QT_QPA_PLATFORM entry ("xcb:option=1" -> "xcb").
std::string PlatformName(const std::string& entry)
{
    return entry.substr(0, entry.find(':'));
}

bool PlatformAnswers(const std::string& name)
{
    if (name.rfind("xcb", 0) == 0)
        return XDisplayAnswers(Env("DISPLAY"));
    if (name.rfind("wayland", 0) == 0)
        return WaylandDisplayAnswers(Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR"));
    // offscreen, minimal, linuxfb, eglfs, vnc, ...: no display to reach, or
    // none this probe knows; Qt decides.
    return true;
}

} // namespace

bool XDisplayAnswers(const std::string& display)
{
    std::string text = display;
    std::string protocol;
    // A leading path ("/private/tmp/...:0") is a socket of its own.
    if (!text.empty() && text[0] == '/') {
        const size_t colon = text.rfind(':');
        return UnixSocketAnswers(text) || (colon != std::string::npos && UnixSocketAnswers(text.substr(0, colon)));
    }
    const size_t slash = text.find('/');
    if (slash != std::string::npos) {
        protocol = text.substr(0, slash);
        text = text.substr(slash + 1);
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = text.substr(0, colon);
    std::string number = text.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (!AllDigits(number))
        return false;
    if (!host.empty() && host.back() == ':')
        return false;   // "host::N" is DECnet, which nothing serves any more
    const int n = std::atoi(number.c_str());
    if (n > 65535 - kXTcpPort)
        return false;
    const bool local = protocol == "unix" || protocol == "local" || (protocol.empty() && (host.empty() || host == "unix"));
    if (local) {
        const std::string path = "/tmp/.X11-unix/X" + number;
        if (UnixSocketAnswers(std::string(1, '\0') + path) || UnixSocketAnswers(path))
            return true;
        if (!protocol.empty() || !host.empty())
            return false;
        return TcpAnswers("localhost", kXTcpPort + n);
    }
    return TcpAnswers(host.empty() ? std::string("localhost") : host, kXTcpPort + n);
}

bool WaylandDisplayAnswers(const std::string& name, const std::string& runtimeDir)
{
    const std::string socket = name.empty() ? std::string("wayland-0") : name;
    if (socket[0] == '/')
        return UnixSocketAnswers(socket);
    if (runtimeDir.empty())
        return false;
    return UnixSocketAnswers(runtimeDir + "/" + socket);
}

std::optional<std::string> ChooseQtPlatform()
{
    const std::string configured = Env("QT_QPA_PLATFORM");
    if (!configured.empty()) {
        // A list ("wayland;xcb") is tried in order by Qt.
        size_t start = 0;
        while (start <= configured.size()) {
            size_t end = configured.find(';', start);
            if (end == std::string::npos)
                end = configured.size();
            const std::string name = PlatformName(configured.substr(start, end - start));
            if (!name.empty() && PlatformAnswers(name))
                return std::string();
            start = end + 1;
        }
        return std::nullopt;
    }
    if (!Env("DISPLAY").empty() && XDisplayAnswers(Env("DISPLAY")))
        return std::string();
    // A compositor passed as an open socket (WAYLAND_SOCKET) cannot be probed
    // without taking it over; it is trusted.
    if (!Env("WAYLAND_SOCKET").empty())
        return std::string("wayland");
    if (!Env("WAYLAND_DISPLAY").empty() && WaylandDisplayAnswers(Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR")))
        return std::string("wayland");
    return std::nullopt;
}

} // namespace zenqt
