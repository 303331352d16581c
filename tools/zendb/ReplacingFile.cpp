// The hidden file beside an output file that replaces it once complete (see
// ReplacingFile.h).
#include "ReplacingFile.h"

#include "Tool.h"
#include "Tr.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zendb {

std::string FileErrorReason(int error)
{
    switch (error) {
    case ENOSPC:
        return Tr("no space left on device");
    case EDQUOT:
        return Tr("disk quota exceeded");
    case EFBIG:
        return Tr("file too large (a file size limit was reached)");
    case ENOENT:
        return Tr("folder does not exist");
    case ENOTDIR:
        return Tr("a part of the path is not a folder");
    case EACCES:
    case EPERM:
        return Tr("permission denied");
    case EROFS:
        return Tr("read-only file system");
    case EISDIR:
        return Tr("a folder has that name");
    case ENAMETOOLONG:
        return Tr("file name too long");
    case EIO:
        return Tr("input/output error");
    default:
        break;
    }
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

CReplacingFile::CReplacingFile(const std::string& target) : m_target(target)
{
    const std::filesystem::path path(target);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // A name at its length limit plus the decoration would be refused, so the
    // hidden name keeps only the start of long names.
    const std::string name = path.filename().string().substr(0, 200);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = (folder / ("." + name + "." + std::to_string(getpid()) + "." +
                                                 std::to_string(counter++) + ".tmp"))
                                          .string();
        m_fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temp = candidate;
            // A report is for people outside the station: the caller's
            // umask, not the tool's private one, decides who may read it.
            if (fchmod(m_fd, 0666 & ~CallerUmask()) != 0)
                Throw(FileErrorReason(errno));
            return;
        }
        if (errno != EEXIST)
            Throw(FileErrorReason(errno));
    }
    Throw(FileErrorReason(EEXIST));
}

CReplacingFile::~CReplacingFile()
{
    if (!m_committed)
        Discard();
}

bool CReplacingFile::Write(const void* data, size_t size)
{
    if (!m_failure.empty() || m_fd < 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(m_fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_failure = FileErrorReason(errno);
            return false;
        }
        // A short count is no failure yet: the next call names the reason
        // (a full disk, a size limit).
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void CReplacingFile::Fail(const std::string& reason)
{
    if (m_failure.empty())
        m_failure = reason.empty() ? std::string(Tr("write error")) : reason;
}

void CReplacingFile::Commit()
{
    if (!m_failure.empty()) {
        Discard();
        Throw(m_failure);
    }
    // Space on some file systems (network shares, compressed or delayed
    // allocation) runs out only when the data is flushed, so fsync and close
    // both count.
    if (fsync(m_fd) != 0) {
        const int error = errno;
        Discard();
        Throw(FileErrorReason(error));
    }
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0) {
        const int error = errno;
        Discard();
        Throw(FileErrorReason(error));
    }
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        Discard();
        Throw(FileErrorReason(error));
    }
    m_committed = true;
    // The rename itself survives a power cut only once its folder is flushed;
    // file systems that cannot flush a folder are no reason to fail.
    const std::filesystem::path folder = std::filesystem::path(m_temp).parent_path();
    const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

void CReplacingFile::Throw(const std::string& reason) const
{
    throw CToolError(TrF("cannot write '%s': %s", m_target, reason));
}

void CReplacingFile::Discard()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
}

} // namespace zendb
