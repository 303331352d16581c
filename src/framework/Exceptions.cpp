// Messages of the framework's exceptions and the throw helpers.
#include "framework/Exceptions.h"

#include "framework/Translation.h"
#include "framework/UIHost.h"

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)
IMPLEMENT_DYNAMIC(CDBException, CException)

namespace {

const char* FileCauseText(int cause)
{
    switch (cause) {
    case CFileException::none: return "No error occurred.";
    case CFileException::fileNotFound: return "The file could not be located.";
    case CFileException::badPath: return "All or part of the path is invalid.";
    case CFileException::tooManyOpenFiles: return "The permitted number of open files was exceeded.";
    case CFileException::accessDenied: return "The file could not be accessed.";
    case CFileException::invalidFile: return "There was an attempt to use an invalid file handle.";
    case CFileException::removeCurrentDir: return "The current working directory cannot be removed.";
    case CFileException::directoryFull: return "There are no more directory entries.";
    case CFileException::badSeek: return "There was an error trying to set the file pointer.";
    case CFileException::hardIO: return "There was a hardware error.";
    case CFileException::sharingViolation: return "A sharing violation occurred.";
    case CFileException::lockViolation: return "There was an attempt to lock a region that was already locked.";
    case CFileException::diskFull: return "The disk or the fixed memory block is full.";
    case CFileException::endOfFile: return "The end of file was reached.";
    default: return "An unspecified error occurred while accessing a file.";
    }
}

const char* ArchiveCauseText(int cause)
{
    switch (cause) {
    case CArchiveException::none: return "No error occurred.";
    case CArchiveException::readOnly: return "Tried to write into an archive opened for loading.";
    case CArchiveException::endOfFile: return "Reached end of file while reading an object.";
    case CArchiveException::writeOnly: return "Tried to read from an archive opened for storing.";
    case CArchiveException::badIndex: return "Invalid file format.";
    case CArchiveException::badClass: return "Tried to read an object into an object of the wrong type.";
    case CArchiveException::badSchema: return "Tried to read an object with a different version of the class.";
    default: return "An unexpected error occurred while reading or writing an archive.";
    }
}

} // namespace

BOOL CException::GetErrorMessage(char* buffer, UINT size, UINT* helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (buffer == nullptr || size == 0)
        return FALSE;
    const CString message = GetMessageText();
    const size_t n = std::min(static_cast<size_t>(message.GetLength()), static_cast<size_t>(size - 1));
    std::memcpy(buffer, message.GetString(), n);
    buffer[n] = '\0';
    return message.IsEmpty() ? FALSE : TRUE;
}

int CException::ReportError(UINT style, UINT messageId) const
{
    CString message = GetMessageText();
    if (message.IsEmpty() && messageId != 0)
        message.LoadString(messageId);
    if (message.IsEmpty())
        message = ZenTranslate(kZenTextDomain, "message", "An unexpected error occurred.");
    return AfxMessageBox(message, style);
}

CFileException::CFileException(int cause, const CString& fileName, const CString& message)
    : CException(message.IsEmpty() ? CString(FileCauseText(cause)) : message), m_cause(cause), m_strFileName(fileName)
{
    if (!fileName.IsEmpty() && message.IsEmpty())
        m_strMessage += CString(" (") + fileName + ")";
}

CArchiveException::CArchiveException(int cause, const CString& message)
    : CException(message.IsEmpty() ? CString(ArchiveCauseText(cause)) : message), m_cause(cause)
{
}

CDBException::CDBException(const CString& error, int retCode, const CString& sql)
    : CException(error), m_strError(error), m_nRetCode(retCode), m_strSQL(sql)
{
}

void AfxThrowMemoryException() { throw CMemoryException(); }
void AfxThrowFileException(int cause, const CString& fileName) { throw CFileException(cause, fileName); }
void AfxThrowArchiveException(int cause, const CString& message) { throw CArchiveException(cause, message); }
void AfxThrowDBException(const CString& error, int retCode, const CString& sql) { throw CDBException(error, retCode, sql); }
