// The framework's exceptions. They are thrown by value and caught by reference;
// "deleting" a caught exception (Delete) is therefore a no-op. Each carries a
// readable message for GetErrorMessage and ReportError, and each is also a
// std::exception so that a program's last-resort handler sees its text.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

#include <exception>

class CException : public CObject, public std::exception {
    DECLARE_DYNAMIC(CException)
public:
    CException() = default;
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;
    ~CException() override = default;

    // Copies the message, cut to size - 1 bytes and terminated, into buffer.
    // FALSE when there is no message (buffer then holds an empty text).
    virtual BOOL GetErrorMessage(char* buffer, UINT size, UINT* helpContext = nullptr) const;
    // The message itself.
    virtual CString GetMessageText() const { return m_strMessage; }
    // Shows the message through the installed UI host (AfxMessageBox); returns
    // the answer of the message box.
    virtual int ReportError(UINT style = MB_OK, UINT messageId = 0) const;
    // Kept for callers written against heap-allocated exceptions: does nothing.
    void Delete() {}

    const char* what() const noexcept override { return m_strMessage.GetString(); }

protected:
    explicit CException(const CString& message) : m_strMessage(message) {}
    CString m_strMessage;
};

class CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException() : CException("Out of memory.") {}
};

class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = none, const CString& fileName = CString(), const CString& message = CString());

    int m_cause;
    CString m_strFileName;
};

class CArchiveException : public CException {
    DECLARE_DYNAMIC(CArchiveException)
public:
    enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    explicit CArchiveException(int cause = none, const CString& message = CString());

    int m_cause;
};

// A failure of the database engine: the engine's error text, the engine's
// return code and the statement that failed (empty when none was running).
class CDBException : public CException {
    DECLARE_DYNAMIC(CDBException)
public:
    explicit CDBException(const CString& error = CString(), int retCode = -1, const CString& sql = CString());

    // The engine's error text (the message shown to the user).
    CString m_strError;
    // The engine's code and where it came from, as "State:<code>,Native:<code>,Origin:<engine>".
    CString m_strStateNativeOrigin;
    int m_nRetCode;
    CString m_strSQL;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowFileException(int cause, const CString& fileName = CString());
[[noreturn]] void AfxThrowArchiveException(int cause, const CString& message = CString());
[[noreturn]] void AfxThrowDBException(const CString& error, int retCode = -1, const CString& sql = CString());
