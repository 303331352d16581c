// Writing an output file so that it either appears whole or not at all: the
// data goes to a hidden file in the target's folder, which replaces the
// target only after everything was written and flushed to the disk. A failed
// write leaves no partial file and the earlier target untouched.
#pragma once

#include <cstddef>
#include <string>

namespace zendb {

class CReplacingFile {
public:
    // Creates the hidden file ".<name>.<pid>.<n>.tmp" beside the target, with
    // the permissions a new file gets (0666 less the umask). Throws
    // CToolError "cannot write '<target>': <reason>" when it cannot (e.g.
    // "folder does not exist", "permission denied").
    explicit CReplacingFile(const std::string& target);
    // Removes the hidden file unless Commit succeeded.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Appends the bytes. After the first failure it writes nothing more and
    // returns false; the reason of that failure is kept for Commit.
    bool Write(const void* data, size_t size);
    // Marks the file as failed for a reason found by the caller (an encoder's
    // status). An earlier reason, such as a failed write, is kept.
    void Fail(const std::string& reason);
    // Flushes the data to the disk, closes the file and renames it over the
    // target. Throws CToolError "cannot write '<target>': <reason>" when a
    // write failed, Fail was called or one of these steps fails; the hidden
    // file is then removed and the target is as it was.
    void Commit();

    const std::string& Target() const { return m_target; }

private:
    [[noreturn]] void Throw(const std::string& reason) const;
    void Discard();

    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    std::string m_failure;  // empty while every write succeeded
    bool m_committed = false;
};

// How the tool names a file system error (an errno value) to a person:
// "no space left on device", "folder does not exist", "permission denied",
// ...; the system's own text, in lower case, for the rest.
std::string FileErrorReason(int error);

} // namespace zendb
