// Reader and writer of INI files ("[Section]" headers and "key=value" lines),
// shared by the application's profile and the station configuration. Editing
// keeps comments, unknown lines and the order of the file; saving is atomic.
#pragma once

#include "framework/CString.h"

#include <string>
#include <vector>

// Format understood:
//  - "[Section]" starts a section; entries before the first header belong to
//    the section "" (empty name).
//  - "key=value": key and value are trimmed of blanks; a value enclosed in a
//    pair of double quotes loses them (so "  x  " keeps its blanks).
//  - lines starting with ';' or '#' are comments; there are no comments at
//    the end of a value line (a value may hold ';' and '#').
//  - section and key names compare without regard to ASCII letter case; when a
//    section or a key occurs twice, the first occurrence wins.
//  - UTF-8 text (Load refuses anything else); a leading byte-order mark is
//    ignored; CR LF or LF line ends (written back as LF).
class CIniFile {
public:
    CIniFile() = default;

    // Replaces the content by the file's. A missing file gives an empty
    // document and TRUE; FALSE when something exists at path but cannot be
    // read as such a file: no permission, a folder, a read error, or text
    // that is not UTF-8. The document is then empty and reason (when given)
    // says why in a few words, e.g. "Permission denied" or "it is not UTF-8
    // text (line 3)"; it is emptied on success.
    BOOL Load(const CString& path, CString* reason = nullptr);
    // Replaces the content by the given text.
    void Parse(const std::string& text);
    // The document as file text.
    std::string ToText() const;
    // Writes the document to path atomically (temporary file in the same
    // folder, flushed to disk, then renamed over the old file), creating
    // missing parent folders. FALSE on failure; the old file is then intact
    // and no temporary file is left.
    BOOL Save(const CString& path) const;

    // TRUE and the value when the key exists in the section.
    BOOL Lookup(const char* section, const char* key, CString& value) const;
    // The key's value, or defaultValue when the key does not exist.
    CString GetString(const char* section, const char* key, const char* defaultValue = "") const;
    // Sets a key, adding the key (at the end of its section) and the section
    // (at the end of the document) when missing. FALSE, and nothing changed,
    // for what a line-based file cannot hold: line breaks anywhere, an empty
    // key, '=' in a key or a key starting with '[', ';' or '#', ']' in a
    // section name.
    BOOL SetString(const char* section, const char* key, const char* value);
    // Removes the key's first occurrence; FALSE when it did not exist.
    BOOL RemoveKey(const char* section, const char* key);
    // Removes every occurrence of the section with its entries; FALSE when
    // it did not exist.
    BOOL RemoveSection(const char* section);

    // Section names in file order (each once) and the keys of one section.
    std::vector<CString> GetSectionNames() const;
    std::vector<CString> GetKeys(const char* section) const;

private:
    enum class LineKind { Other, Section, Entry };
    struct Line {
        LineKind kind = LineKind::Other;
        std::string raw;      // text as read (Other) or as written
        std::string name;     // section name (Section) or key (Entry)
        std::string value;    // value of an Entry, without quoting
    };

    // Index of the first entry line of the key, or -1.
    int FindEntry(const char* section, const char* key) const;
    // Index of the first header line of the section, or -1.
    int FindSection(const char* section) const;

    std::vector<Line> m_lines;
};

// Replaces the file at path by contents atomically: a temporary file beside
// it is written, flushed to disk and renamed over the target, then the folder
// is flushed. A file that existed keeps its permission bits. FALSE on any
// failure; the temporary file is then removed.
BOOL WriteFileAtomically(const CString& path, const std::string& contents);
