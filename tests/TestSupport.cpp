// Temporary folders and file helpers for the test programs.
#include "TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace zentest {

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

} // namespace zentest
