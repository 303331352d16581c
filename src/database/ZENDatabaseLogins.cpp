// The facade's bookkeeping of login tries: the count of failed logins per
// name in the database, the growing wait before a try of a name that failed
// too often, and the replacement of outdated stored passwords.

#include "database/ZENDatabase.h"

#include "companions/EventLog.h"
#include "companions/Obvra.h"
#include "companions/PasswordHash.h"
#include "database/internal/LoginFailures.h"
#include "framework/Exceptions.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <new>
#include <thread>

namespace {

constexpr const char* kModule = "database";
constexpr const char* kTryLogin = "CZENDatabase::TryLogin";

std::atomic<CZENDatabase::LoginWaitNotifier> g_loginWaitNotifier{nullptr};

// The stored forms (encoded names, hashes, old encodings) hold no quote
// character; a form that does anyway is not one of ours and is not used in SQL.
bool SafeInSql(const CString& text)
{
    return text.Find('\'') < 0;
}

CString DescribeException(CException& e)
{
    if (auto* db = dynamic_cast<CDBException*>(&e))
        return db->m_strError;
    return e.GetMessageText();
}

} // namespace

int CZENDatabase::LoginWaitSeconds(int failures)
{
    if (failures < kLoginFailuresBeforeWait)
        return 0;
    const int doublings = failures - kLoginFailuresBeforeWait;
    if (doublings >= 5)  // 2^5 = 32 is past the longest wait already
        return kLoginWaitMaxSeconds;
    const int seconds = 1 << doublings;
    return seconds < kLoginWaitMaxSeconds ? seconds : kLoginWaitMaxSeconds;
}

void CZENDatabase::SetLoginWaitNotifier(LoginWaitNotifier notifier)
{
    g_loginWaitNotifier.store(notifier);
}

int CZENDatabase::GetLoginFailureCount(const CString& userName)
{
    CString storedName;
    try {
        storedName = Obvra_encode(userName);
    } catch (CCredentialException&) {
        return 0;
    }
    return ReadLoginFailures(storedName);
}

int CZENDatabase::ReadLoginFailures(const CString& storedName) noexcept
{
    if (storedName.IsEmpty() || !SafeInSql(storedName))
        return 0;
    try {
        CString sql;
        sql.Format("SELECT [Failures] FROM LoginFailures WHERE [UserName] = '%s'", storedName.GetString());
        CRecordset rs(this);
        rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
        int failures = 0;
        if (!rs.IsEOF()) {
            CString value;
            rs.GetFieldValue("Failures", value);
            failures = std::atoi(value.GetString());
        }
        rs.Close();
        return failures > 0 ? failures : 0;
    } catch (CException& e) {
        // A file without the table (an older one opened as it stands) counts
        // nothing; the login goes on unthrottled.
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
    return 0;
}

void CZENDatabase::WaitWhileLoginThrottled(const CString& storedName) noexcept
{
    const int failures = ReadLoginFailures(storedName);
    const int seconds = LoginWaitSeconds(failures);
    if (seconds <= 0)
        return;
    ZEN_LOG_EVENT(kModule, kTryLogin, "Login of '%s' waits %d s after %d failed logins", m_strUserName.GetString(),
                  seconds, failures);
    if (LoginWaitNotifier notifier = g_loginWaitNotifier.load())
        notifier(m_strUserName, failures, seconds);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

void CZENDatabase::RecordLoginOutcome(const CString& storedName, bool succeeded, bool countEmpty) noexcept
{
    // Counts the failures of a name for the wait; the audit entry of the try
    // is written by RecordLoginOutcome(bool) after TryLogin returns.

    // A failed try with the empty password is not counted: the session makes
    // one on its own before it asks (a name given without a password).
    if (!succeeded && m_strPassword.IsEmpty() && !countEmpty)
        return;
    if (storedName.IsEmpty() || !SafeInSql(storedName))
        return;
    try {
        CString sql;
        if (succeeded) {
            sql.Format("DELETE FROM LoginFailures WHERE [UserName] = '%s'", storedName.GetString());
        } else {
            sql.Format("INSERT INTO LoginFailures ([UserName], [Failures], [LastFailure]) VALUES ('%s', 1, %lld) "
                       "ON CONFLICT ([UserName]) DO UPDATE SET [Failures] = LoginFailures.[Failures] + 1, "
                       "[LastFailure] = excluded.[LastFailure]",
                       storedName.GetString(), static_cast<long long>(std::time(nullptr)));
        }
        CTransaction transaction(*this);
        ExecuteSQL(sql.GetString());
        transaction.Commit();
    } catch (CException& e) {
        ZEN_LOG_EVENT(kModule, kTryLogin, "The failed logins of '%s' could not be %s: %s",
                      m_strUserName.GetString(), succeeded ? "reset" : "counted",
                      DescribeException(e).GetString());
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
}

void CZENDatabase::RenewStoredPassword(const CString& storedName, const CString& oldStoredPassword) noexcept
{
    try {
        if (!SafeInSql(storedName) || !SafeInSql(oldStoredPassword))
            return;
        const CString hash = HashPassword(m_strPassword);
        CString sql;
        // Only the row whose password was just verified: a password changed
        // meanwhile by another station stays as that station stored it.
        sql.Format("UPDATE Table1 SET [Field1] = '%s' WHERE [Field0] = '%s' AND [Field1] = '%s'",
                   hash.GetString(), storedName.GetString(), oldStoredPassword.GetString());
        CTransaction transaction(*this);
        ExecuteSQL(sql.GetString());
        transaction.Commit();
        ZEN_LOG_EVENT(kModule, kTryLogin, "The stored password of '%s' was replaced by a new hash",
                      m_strUserName.GetString());
    } catch (CException& e) {
        ZEN_LOG_EVENT(kModule, kTryLogin, "The stored password of '%s' could not be replaced by a hash: %s",
                      m_strUserName.GetString(), DescribeException(e).GetString());
        e.Delete();
    } catch (const std::bad_alloc&) {
        ZEN_LOG_EVENT(kModule, kTryLogin, "The stored password of '%s' could not be replaced by a hash: %s",
                      m_strUserName.GetString(), "out of memory");
    }
}

void CZENDatabase::AddSignatureTablesWhenMissing() noexcept
{
    try {
        zensign::CreateTablesWhenMissing(*this);
    } catch (CException& e) {
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
}

CString CZENDatabase::WaitForPasswordCheck()
{
    // Failed tries are counted under the name's stored form.
    CString storedName;
    try {
        storedName = Obvra_encode(m_strUserName);
    } catch (CCredentialException& e) {
        if (e.m_cause != CCredentialException::textTooLong)
            throw;
    }
    WaitWhileLoginThrottled(storedName);
    return storedName;
}

void CZENDatabase::AddLoginFailuresTableWhenMissing() noexcept
{
    try {
        ExecuteSQL(zendb_logins::kCreateTableSql);
    } catch (CException& e) {
        e.Delete();
    } catch (const std::bad_alloc&) {
    }
}
