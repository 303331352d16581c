// INI document model (lines kept as read, entries parsed beside them) and the
// atomic file replacement used to save it.
#include "framework/IniFile.h"

#include "framework/XdgPaths.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kBlanks = " \t\v\f";

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// a is a name as stored (trimmed when parsed or set); b is a name a caller
// asks for, trimmed by the same rule, so that " Key " finds the entry that
// SetString(" Key ") wrote instead of adding a second one behind it.
bool SameName(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), Trimmed(b ? b : "").c_str()) == 0;
}

bool HasLineBreak(const char* text)
{
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

// A value is quoted on writing when reading it back unquoted would change it:
// surrounding blanks would be trimmed, surrounding quotes would be stripped.
std::string QuoteIfNeeded(const std::string& value)
{
    if (value.empty())
        return value;
    const bool blankAtEdge = std::strchr(kBlanks, value.front()) != nullptr ||
                             std::strchr(kBlanks, value.back()) != nullptr;
    const bool quotedAlready = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    return (blankAtEdge || quotedAlready) ? "\"" + value + "\"" : value;
}

std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The 1-based number of the first line holding a byte sequence that is not
// UTF-8 (overlong forms, surrogates and code points above U+10FFFF
// included); 0 when the whole text is UTF-8.
long FirstLineNotUtf8(const std::string& text)
{
    long line = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c == '\n')
            ++line;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        uint32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        } else {
            return line;
        }
        if (end - p < length)
            return line;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0u) != 0x80u)
                return line;
            code = (code << 6) | (p[i] & 0x3Fu);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return line;
        p += length;
    }
    return 0;
}

} // namespace

BOOL CIniFile::Load(const CString& path, CString* reason)
{
    m_lines.clear();
    const auto fail = [reason](const CString& why) {
        if (reason != nullptr)
            *reason = why;
        return FALSE;
    };
    if (reason != nullptr)
        reason->Empty();
    struct stat st {};
    if (::stat(path.GetString(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TRUE;
        return fail(std::strerror(errno));
    }
    // A folder opens and reads as an empty stream: without this test it
    // would pass for an empty file.
    if (S_ISDIR(st.st_mode))
        return fail("it is a folder, not a file");
    const int fd = ::open(path.GetString(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(std::strerror(errno));
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fail(std::strerror(error));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    const long badLine = FirstLineNotUtf8(text);
    if (badLine > 0) {
        CString why;
        why.Format("it is not UTF-8 text (line %ld)", badLine);
        return fail(why);
    }
    Parse(text);
    return TRUE;
}

void CIniFile::Parse(const std::string& text)
{
    m_lines.clear();
    size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        start = end + 1;

        Line line;
        line.raw = raw;
        const std::string body = Trimmed(raw);
        if (body.empty() || body[0] == ';' || body[0] == '#') {
            line.kind = LineKind::Other;
        } else if (body[0] == '[') {
            const size_t close = body.find(']');
            if (close != std::string::npos) {
                line.kind = LineKind::Section;
                line.name = Trimmed(body.substr(1, close - 1));
            }
        } else {
            const size_t eq = body.find('=');
            if (eq != std::string::npos && eq > 0) {
                line.kind = LineKind::Entry;
                line.name = Trimmed(body.substr(0, eq));
                line.value = Unquote(Trimmed(body.substr(eq + 1)));
            }
        }
        m_lines.push_back(std::move(line));
    }
}

std::string CIniFile::ToText() const
{
    std::string text;
    for (const Line& line : m_lines) {
        text += line.raw;
        text += '\n';
    }
    return text;
}

BOOL CIniFile::Save(const CString& path) const
{
    const std::filesystem::path target(path.Str());
    if (target.has_parent_path() && !CreateFolders(target.parent_path().string()))
        return FALSE;
    return WriteFileAtomically(path, ToText());
}

int CIniFile::FindSection(const char* section) const
{
    // Entries before the first header form the unnamed section, which has no
    // header line; -1 stands for it as well as for a missing section.
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == LineKind::Section && SameName(m_lines[i].name, section))
            return static_cast<int>(i);
    }
    return -1;
}

int CIniFile::FindEntry(const char* section, const char* key) const
{
    std::string current;  // entries before any header: section ""
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::Section)
            current = line.name;
        else if (line.kind == LineKind::Entry && SameName(current, section) && SameName(line.name, key))
            return static_cast<int>(i);
    }
    return -1;
}

BOOL CIniFile::Lookup(const char* section, const char* key, CString& value) const
{
    const int index = FindEntry(section, key);
    if (index < 0)
        return FALSE;
    value = m_lines[static_cast<size_t>(index)].value;
    return TRUE;
}

CString CIniFile::GetString(const char* section, const char* key, const char* defaultValue) const
{
    CString value;
    return Lookup(section, key, value) ? value : CString(defaultValue);
}

BOOL CIniFile::SetString(const char* section, const char* key, const char* value)
{
    if (section == nullptr || key == nullptr)
        return FALSE;
    const std::string name = Trimmed(key);
    if (name.empty() || name.find('=') != std::string::npos || name[0] == '[' || name[0] == ';' ||
        name[0] == '#' || HasLineBreak(key) || HasLineBreak(section) || HasLineBreak(value) ||
        std::strchr(section, ']') != nullptr)
        return FALSE;

    Line entry;
    entry.kind = LineKind::Entry;
    entry.name = name;
    entry.value = value ? value : "";
    entry.raw = name + "=" + QuoteIfNeeded(entry.value);

    const int existing = FindEntry(section, key);
    if (existing >= 0) {
        m_lines[static_cast<size_t>(existing)] = std::move(entry);
        return TRUE;
    }

    const std::string sectionName = Trimmed(section);
    const int header = FindSection(sectionName.c_str());
    size_t insertAt;
    if (header >= 0 || sectionName.empty()) {
        // After the last entry (or the header) of the section's first block,
        // so that blank lines and comments ahead of the next section stay there.
        size_t i = header >= 0 ? static_cast<size_t>(header) + 1 : 0;
        insertAt = i;
        for (; i < m_lines.size() && m_lines[i].kind != LineKind::Section; ++i) {
            if (m_lines[i].kind == LineKind::Entry)
                insertAt = i + 1;
        }
    } else {
        if (!m_lines.empty() && !Trimmed(m_lines.back().raw).empty())
            m_lines.push_back(Line{});
        Line headerLine;
        headerLine.kind = LineKind::Section;
        headerLine.name = sectionName;
        headerLine.raw = "[" + sectionName + "]";
        m_lines.push_back(std::move(headerLine));
        insertAt = m_lines.size();
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
    return TRUE;
}

BOOL CIniFile::RemoveKey(const char* section, const char* key)
{
    const int index = FindEntry(section, key);
    if (index < 0)
        return FALSE;
    m_lines.erase(m_lines.begin() + index);
    return TRUE;
}

BOOL CIniFile::RemoveSection(const char* section)
{
    BOOL removed = FALSE;
    std::vector<Line> kept;
    bool named = false;                     // past the first header
    bool inside = SameName("", section);    // lines before it form section ""
    for (Line& line : m_lines) {
        if (line.kind == LineKind::Section) {
            named = true;
            inside = SameName(line.name, section);
        }
        // The unnamed section has no header: only its entries go, comments
        // at the top of the file stay.
        const bool drop = inside && (named || line.kind == LineKind::Entry);
        if (drop) {
            removed = TRUE;
            continue;
        }
        kept.push_back(std::move(line));
    }
    m_lines = std::move(kept);
    return removed;
}

std::vector<CString> CIniFile::GetSectionNames() const
{
    std::vector<CString> names;
    for (const Line& line : m_lines) {
        if (line.kind != LineKind::Section)
            continue;
        bool seen = false;
        for (const CString& name : names)
            seen = seen || SameName(line.name, name);
        if (!seen)
            names.emplace_back(line.name);
    }
    return names;
}

std::vector<CString> CIniFile::GetKeys(const char* section) const
{
    std::vector<CString> keys;
    std::string current;
    for (const Line& line : m_lines) {
        if (line.kind == LineKind::Section)
            current = line.name;
        else if (line.kind == LineKind::Entry && SameName(current, section))
            keys.emplace_back(line.name);
    }
    return keys;
}

BOOL WriteFileAtomically(const CString& path, const std::string& contents)
{
    const std::filesystem::path target(path.Str());
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path()
                                                                  : std::filesystem::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".tmp.XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        return FALSE;

    bool ok = true;
    struct stat old {};
    if (stat(target.c_str(), &old) == 0)
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    const char* data = contents.data();
    size_t left = contents.size();
    while (ok && left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ok = false;
            break;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(pattern.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(pattern.c_str());
        return FALSE;
    }
    // The rename is durable only once the folder entry is on disk as well.
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return TRUE;
}
