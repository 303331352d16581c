// zendb gui when a display is named but nothing serves it: the command fails
// with the same message and exit status as without any display, before the
// windowing library could end the process.
#include "ToolTestSupport.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

namespace zentest {
namespace {

// Whether this process can take the address (so nothing else holds it).
bool CanBind(int family, const void* address, socklen_t length)
{
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = bind(fd, static_cast<const sockaddr*>(address), length) == 0;
    close(fd);
    return ok;
}

// An X display number nothing serves: no socket file, and its abstract
// socket and TCP port are free.
int UnservedDisplay()
{
    for (int n = 173; n < 400; ++n) {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(path.c_str(), F_OK) == 0)
            continue;
        sockaddr_un local{};
        local.sun_family = AF_UNIX;
        std::memcpy(local.sun_path + 1, path.data(), path.size());   // abstract: a leading '\0'
        const auto localLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
        sockaddr_in tcp{};
        tcp.sin_family = AF_INET;
        tcp.sin_port = htons(static_cast<uint16_t>(6000 + n));
        tcp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (CanBind(AF_UNIX, &local, localLength) && CanBind(AF_INET, &tcp, sizeof tcp))
            return n;
    }
    return -1;
}

TEST(ToolGuiDisplay, DisplayThatDoesNotAnswerFailsLikeNoDisplay)
{
    CTempDir dir;
    const std::string db = dir.File("gui.db");
    ASSERT_EQ(RunZendb({"init", db}).status, 0);
    const int n = UnservedDisplay();
    ASSERT_GT(n, 0) << "no unserved display number";
    const std::string number = std::to_string(n);

    using Env = std::map<std::string, std::optional<std::string>>;
    const Env none = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"WAYLAND_SOCKET", std::nullopt},
                      {"QT_QPA_PLATFORM", std::nullopt}, {"XDG_RUNTIME_DIR", dir.Path().string()}};
    const CRun without = RunZendb({"--db", db, "gui", "register"}, none);
    ASSERT_EQ(without.status, 1);
    if (without.err.find("Qt host") != std::string::npos)
        GTEST_SKIP() << "this zendb has no windows: " << without.err;
    ASSERT_NE(without.err.find("no display"), std::string::npos) << without.err;

    struct CCase {
        const char* what;
        Env env;
    };
    const CCase cases[] = {
        {"local display", {{"DISPLAY", ":" + number}}},
        {"local display with screen", {{"DISPLAY", "unix:" + number + ".0"}}},
        {"display over TCP", {{"DISPLAY", "127.0.0.1:" + number}}},
        {"a value that names no display", {{"DISPLAY", "nonsense"}}},
        {"xcb asked for", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":" + number}}},
        {"a Wayland socket nothing serves", {{"WAYLAND_DISPLAY", "wayland-none"}}},
        {"wayland asked for", {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", dir.File("none")}}},
    };
    for (const CCase& c : cases) {
        Env env = none;
        for (const auto& [name, value] : c.env)
            env[name] = value;
        for (const char* command : {"register", "search"}) {
            const CRun run = RunZendb({"--db", db, "gui", command}, env);
            EXPECT_EQ(run.status, 1) << c.what << ", gui " << command << ": " << run.err;
            EXPECT_EQ(run.err, without.err) << c.what << ", gui " << command;
            EXPECT_EQ(run.out, "") << c.what;
        }
    }
}

} // namespace
} // namespace zentest
