// The display probe of the Qt host against real sockets: an X display and a
// Wayland compositor count as answering while something listens on their
// socket and not once it is gone; values that name no display never answer.
#include "qt/DisplayProbe.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A listening socket for the life of the object (never accepting: a pending
// connection is enough for the probe).
class CListener {
public:
    // A Unix socket; a leading '\0' makes it abstract.
    static CListener Unix(const std::string& path)
    {
        CListener listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.data(), path.size());
        const socklen_t length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] == '\0' ? 0 : 1));
        listener.m_ok = bind(listener.m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                        listen(listener.m_fd, 4) == 0;
        return listener;
    }
    // TCP on 127.0.0.1.
    static CListener Tcp(int port)
    {
        CListener listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listener.m_ok = bind(listener.m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                        listen(listener.m_fd, 4) == 0;
        return listener;
    }
    CListener(CListener&& other) noexcept : m_fd(other.m_fd), m_ok(other.m_ok) { other.m_fd = -1; }
    ~CListener() { Close(); }
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;
    CListener& operator=(CListener&&) = delete;

    bool Ok() const { return m_ok; }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    explicit CListener(int fd) : m_fd(fd) {}
    int m_fd;
    bool m_ok = false;
};

// A display number whose abstract X socket and TCP port this test can take,
// so that nothing else serves it, and no filesystem socket of that number.
int FreeDisplayNumber()
{
    for (int n = 173; n < 400; ++n) {
        if (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0)
            continue;
        CListener x = CListener::Unix(std::string(1, '\0') + "/tmp/.X11-unix/X" + std::to_string(n));
        CListener tcp = CListener::Tcp(6000 + n);
        if (x.Ok() && tcp.Ok())
            return n;
    }
    return -1;
}

// Sets (or, with nullopt, removes) environment variables and restores them.
class CEnvironment {
public:
    explicit CEnvironment(const std::map<std::string, std::optional<std::string>>& values)
    {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    ~CEnvironment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    CEnvironment(const CEnvironment&) = delete;
    CEnvironment& operator=(const CEnvironment&) = delete;

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(DisplayProbe, XDisplayAnswersWhileItsSocketListens)
{
    const int n = FreeDisplayNumber();
    ASSERT_GT(n, 0) << "no free display number";
    const std::string number = std::to_string(n);
    const std::vector<std::string> local = {":" + number, ":" + number + ".0", "unix:" + number,
                                            "unix/:" + number};
    {
        CListener server = CListener::Unix(std::string(1, '\0') + "/tmp/.X11-unix/X" + number);
        ASSERT_TRUE(server.Ok());
        for (const std::string& display : local)
            EXPECT_TRUE(zenqt::XDisplayAnswers(display)) << display;
        // A host means TCP, where nothing listens.
        EXPECT_FALSE(zenqt::XDisplayAnswers("127.0.0.1:" + number));
    }
    for (const std::string& display : local)
        EXPECT_FALSE(zenqt::XDisplayAnswers(display)) << display;

    {
        CListener server = CListener::Tcp(6000 + n);
        ASSERT_TRUE(server.Ok());
        for (const std::string& display : {"127.0.0.1:" + number, "tcp/127.0.0.1:" + number + ".0",
                                           "localhost:" + number, ":" + number})
            EXPECT_TRUE(zenqt::XDisplayAnswers(display)) << display;
        EXPECT_FALSE(zenqt::XDisplayAnswers("unix:" + number)) << "unix means the local socket only";
    }
    EXPECT_FALSE(zenqt::XDisplayAnswers("127.0.0.1:" + number));
}

TEST(DisplayProbe, ValuesNamingNoDisplayNeverAnswer)
{
    for (const char* display : {"", "nonsense", ":", ":x", ":1x", "host::0", "unix:", ":99999999"})
        EXPECT_FALSE(zenqt::XDisplayAnswers(display)) << "'" << display << "'";
}

TEST(DisplayProbe, WaylandAnswersWhileItsSocketListens)
{
    zentest::CTempDir runtime;
    const std::string path = runtime.File("wayland-zen");
    {
        CListener compositor = CListener::Unix(path);
        ASSERT_TRUE(compositor.Ok());
        EXPECT_TRUE(zenqt::WaylandDisplayAnswers("wayland-zen", runtime.Path().string()));
        EXPECT_TRUE(zenqt::WaylandDisplayAnswers(path, ""));
        EXPECT_FALSE(zenqt::WaylandDisplayAnswers("wayland-zen", "")) << "a relative name needs the runtime folder";
        EXPECT_FALSE(zenqt::WaylandDisplayAnswers("", runtime.Path().string())) << "wayland-0 is not there";
    }
    // The socket file stays behind a closed compositor: nothing accepts.
    EXPECT_FALSE(zenqt::WaylandDisplayAnswers("wayland-zen", runtime.Path().string()));
    unlink(path.c_str());
    EXPECT_FALSE(zenqt::WaylandDisplayAnswers("wayland-zen", runtime.Path().string()));
}

TEST(DisplayProbe, ChoosesThePlatformThatAnswers)
{
    const int n = FreeDisplayNumber();
    ASSERT_GT(n, 0) << "no free display number";
    const std::string deadX = ":" + std::to_string(n);
    zentest::CTempDir runtime;
    CListener compositor = CListener::Unix(runtime.File("wayland-zen"));
    ASSERT_TRUE(compositor.Ok());
    const std::string runtimeDir = runtime.Path().string();
    using Env = std::map<std::string, std::optional<std::string>>;
    struct CCase {
        const char* what;
        Env env;
        std::optional<std::string> platform;
    };
    const CCase cases[] = {
        {"nothing set", {}, std::nullopt},
        {"offscreen needs no display", {{"QT_QPA_PLATFORM", "offscreen"}}, ""},
        {"minimal with options", {{"QT_QPA_PLATFORM", "minimal:enable_fonts"}}, ""},
        {"an X display nothing serves", {{"DISPLAY", deadX}}, std::nullopt},
        {"xcb asked for, X not served", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", deadX}}, std::nullopt},
        {"only Wayland answers", {{"DISPLAY", deadX}, {"WAYLAND_DISPLAY", "wayland-zen"}}, "wayland"},
        {"a Wayland socket nothing serves", {{"WAYLAND_DISPLAY", "wayland-none"}}, std::nullopt},
        {"wayland asked for and served", {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "wayland-zen"}}, ""},
        {"a list whose second entry answers",
         {{"QT_QPA_PLATFORM", "xcb;wayland"}, {"DISPLAY", deadX}, {"WAYLAND_DISPLAY", "wayland-zen"}}, ""},
    };
    for (const CCase& c : cases) {
        Env env = {{"QT_QPA_PLATFORM", std::nullopt}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
                   {"WAYLAND_SOCKET", std::nullopt}, {"XDG_RUNTIME_DIR", runtimeDir}};
        for (const auto& [name, value] : c.env)
            env[name] = value;
        const CEnvironment scope(env);
        EXPECT_EQ(zenqt::ChooseQtPlatform(), c.platform) << c.what;
    }
}

} // namespace
