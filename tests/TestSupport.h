// Helpers shared by the test programs: fresh temporary folders under the
// build tree (removed when the object goes out of scope) and small file utilities.
#pragma once

#include <filesystem>
#include <string>

namespace zentest {

// A new, empty folder below $ZEN_TEST_TMP (or the system temp folder), removed
// with everything in it on destruction.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Path of a file inside the folder (not created).
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Whole content of a file; empty when it cannot be read.
std::string ReadFileText(const std::string& path);
// Writes (replaces) a file with the given content; throws std::runtime_error on failure.
void WriteFileText(const std::string& path, const std::string& text);

// The Access sample file `name` (e.g. "testV2003.mdb") copied into dir, so
// that no test opens the shared original; empty when the samples are not
// there (the caller skips).
std::string CopyAccessSample(const CTempDir& dir, const std::string& name);

} // namespace zentest
