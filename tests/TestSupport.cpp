// Temporary folders and file helpers for the test programs.
#include "TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace zentest {

namespace {

// CTest starts every test as a process of its own, several at a time, all with
// the same HOME and XDG folders. Each process gets private ones here, before
// any test runs, so that tests writing the per-user profile or the event log
// cannot see each other's files.
class CPrivateHome {
public:
    CPrivateHome()
    {
        const char* root = std::getenv("ZEN_TEST_TMP");
        if (root == nullptr || *root == '\0')
            return;
        std::error_code ec;
        m_path = std::filesystem::path(root) / ("home-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_path, ec);
        std::filesystem::create_directories(m_path, ec);
        if (ec) {
            m_path.clear();
            return;
        }
        setenv("HOME", m_path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_path / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_path / "data").c_str(), 1);
        setenv("XDG_STATE_HOME", (m_path / "state").c_str(), 1);
    }
    ~CPrivateHome()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    CPrivateHome(const CPrivateHome&) = delete;
    CPrivateHome& operator=(const CPrivateHome&) = delete;

private:
    std::filesystem::path m_path;
};

const CPrivateHome g_privateHome;

} // namespace

CTempDir::CTempDir()
{
    static std::atomic<int> counter{0};
    const char* root = std::getenv("ZEN_TEST_TMP");
    std::filesystem::path base = (root && *root) ? std::filesystem::path(root)
                                                 : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(base);
    for (;;) {
        auto candidate = base / ("t" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            break;
        }
    }
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string CopyAccessSample(const CTempDir& dir, const std::string& name)
{
    const std::filesystem::path from = std::filesystem::path(ZEN_ACCESS_SAMPLES_DIR) / name;
    if (std::string(ZEN_ACCESS_SAMPLES_DIR).empty() || !std::filesystem::exists(from))
        return std::string();
    const std::string to = dir.File(name);
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return to;
}

} // namespace zentest
