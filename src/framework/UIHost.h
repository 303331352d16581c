// The user interface host: the one process-wide object that shows message
// boxes and runs modal dialogs. The library never talks to a screen itself;
// applications install a host, tests and batch runs install a scripted one.
#pragma once

#include "framework/CString.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

class CDialog;

// What a host must do. Both calls are modal: they return only when the user
// (or whatever stands in for one) has answered.
class CUIHost {
public:
    virtual ~CUIHost() = default;

    // Shows text with the buttons and icon of style (MB_OK, MB_YESNO, ...,
    // MB_ICONERROR, ...); returns the button chosen (IDOK, IDYES, ...).
    virtual int MessageBox(const CString& text, UINT style) = 0;

    // Runs dlg modally: calls dlg.OnInitDialog() first; unless the dialog
    // ended there, lets the user act until it has ended (HasEnded), pressing
    // OK/Cancel through dlg.OnOK()/dlg.OnCancel(). Returns the dialog's
    // result (GetModalResult).
    virtual INT_PTR RunModal(CDialog& dlg) = 0;
};

// Non-interactive host, installed when no other is: never blocks. Writes each
// message to stderr and answers IDOK to OK and OK/Cancel boxes, IDNO to
// Yes/No questions, IDCANCEL to Yes/No/Cancel and Retry/Cancel, IDABORT to
// Abort/Retry/Ignore. A dialog is initialised and then cancelled.
class CDefaultUIHost : public CUIHost {
public:
    int MessageBox(const CString& text, UINT style) override;
    INT_PTR RunModal(CDialog& dlg) override;

    // The answer given to a message box of this style.
    static int DefaultAnswer(UINT style);
    // Presses Cancel on a dialog that is still open; when its OnCancel does not
    // end it, ends it with IDCANCEL. Returns the dialog's result.
    static INT_PTR CancelDialog(CDialog& dlg);
};

// Host that answers from queues filled in advance and records everything
// shown, so that applications and tests can drive the library without a
// screen.
//
// Message boxes take the next queued answer. Dialogs take the next queued
// script: after OnInitDialog the host calls script(dlg). The script may set
// the dialog's members and press a button itself (dlg.OnOK(), dlg.OnCancel())
// or just return the button to press:
//  - when the dialog has ended after the script, its result stands (the
//    returned value is not looked at);
//  - otherwise the host presses the returned button: IDOK calls dlg.OnOK(),
//    IDCANCEL dlg.OnCancel(), StayOpen nothing, any other value ends the
//    dialog with that value;
//  - a dialog still open after that (its OnOK refused the input) takes the
//    next queued script, so a test can correct the input and press OK again.
// A script that called OnOK itself and saw it refused should return StayOpen.
// With a queue empty the host answers like CDefaultUIHost (quietly) and marks
// the record as not scripted. A dialog that ends in OnInitDialog consumes no
// script. Nested dialogs and messages (opened by a dialog's handlers) take
// the next queued entries in the order they are opened.
class CScriptedUIHost : public CUIHost {
public:
    using DialogScript = std::function<INT_PTR(CDialog&)>;
    // Script result: press no button, leave the dialog open.
    static constexpr INT_PTR StayOpen = 0;

    struct MessageRecord {
        CString text;
        UINT style = 0;
        int answer = 0;
        bool scripted = false;  // false: answered by the default rule
    };
    struct DialogRecord {
        UINT templateId = 0;
        CString caption;         // as it was after OnInitDialog
        INT_PTR result = -1;
        int scriptsUsed = 0;     // queued scripts consumed by this run
        bool endedAtInit = false;
        bool scripted = false;   // false: cancelled by the default rule
    };

    int MessageBox(const CString& text, UINT style) override;
    INT_PTR RunModal(CDialog& dlg) override;

    // Queues the answer for the next message box.
    void QueueMessageAnswer(int answer);
    // Queues the script for the next dialog action.
    void QueueDialogScript(DialogScript script);
    // Queues a script that only presses the button (IDOK, IDCANCEL, ...).
    void QueueDialogAnswer(INT_PTR button);

    const std::vector<MessageRecord>& GetMessages() const { return m_messages; }
    const std::vector<DialogRecord>& GetDialogs() const { return m_dialogs; }
    size_t GetPendingMessageAnswers() const { return m_messageAnswers.size(); }
    size_t GetPendingDialogScripts() const { return m_dialogScripts.size(); }
    // Forgets the queues and the records.
    void Reset();

private:
    std::deque<int> m_messageAnswers;
    std::deque<DialogScript> m_dialogScripts;
    std::vector<MessageRecord> m_messages;
    std::vector<DialogRecord> m_dialogs;
};

// Installs the process-wide host (not owned; it must outlive its use);
// nullptr restores the built-in CDefaultUIHost.
void SetUIHost(CUIHost* host);
// The installed host; never nullptr.
CUIHost* GetUIHost();

// Installs a host for the lifetime of the object and then restores the one
// that was installed before.
class CUIHostScope {
public:
    explicit CUIHostScope(CUIHost* host);
    ~CUIHostScope();
    CUIHostScope(const CUIHostScope&) = delete;
    CUIHostScope& operator=(const CUIHostScope&) = delete;

private:
    CUIHost* m_pPrevious;
};

// Shows a message box through the installed host; returns the button chosen.
int AfxMessageBox(const char* text, UINT style = MB_OK);
// The same with the text of a string-table entry; an unknown id shows
// "Missing text <id>" so that the user still sees that something happened.
int AfxMessageBox(UINT stringId, UINT style = MB_OK);
