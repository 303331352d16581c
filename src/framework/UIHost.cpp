// The built-in non-interactive host, the scripted host and the process-wide
// host pointer behind AfxMessageBox and CDialog::DoModal.
#include "framework/UIHost.h"

#include "framework/CDialog.h"
#include "framework/StringTable.h"
#include "framework/Translation.h"

#include <atomic>
#include <cstdio>
#include <utility>

namespace {

std::atomic<CUIHost*> g_host{nullptr};

const char* IconWord(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return ZenTranslate(kZenTextDomain, "terminal", "Error");
    case MB_ICONWARNING:
        return ZenTranslate(kZenTextDomain, "terminal", "Warning");
    case MB_ICONQUESTION:
        return ZenTranslate(kZenTextDomain, "terminal", "Question");
    case MB_ICONINFORMATION:
        return ZenTranslate(kZenTextDomain, "terminal", "Information");
    default:
        return ZenTranslate(kZenTextDomain, "terminal", "Message");
    }
}

// Initialises the dialog; TRUE when it is still open afterwards.
bool InitDialog(CDialog& dlg)
{
    dlg.OnInitDialog();
    return !dlg.HasEnded();
}

} // namespace

int CDefaultUIHost::DefaultAnswer(UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
    default:
        return IDCANCEL;
    }
}

INT_PTR CDefaultUIHost::CancelDialog(CDialog& dlg)
{
    if (!dlg.HasEnded())
        dlg.OnCancel();
    if (!dlg.HasEnded())
        dlg.EndDialog(IDCANCEL);
    return dlg.GetModalResult();
}

int CDefaultUIHost::MessageBox(const CString& text, UINT style)
{
    std::fprintf(stderr, "ZEN %s: %s\n", IconWord(style), text.GetString());
    std::fflush(stderr);
    return DefaultAnswer(style);
}

INT_PTR CDefaultUIHost::RunModal(CDialog& dlg)
{
    if (InitDialog(dlg)) {
        std::fprintf(stderr,
                     ZenTranslate(kZenTextDomain, "terminal",
                                  "ZEN dialog %u \"%s\": cancelled, no interactive user interface\n"),
                     dlg.GetTemplateId(), dlg.GetCaption().GetString());
        std::fflush(stderr);
    }
    return CancelDialog(dlg);
}

int CScriptedUIHost::MessageBox(const CString& text, UINT style)
{
    MessageRecord record;
    record.text = text;
    record.style = style;
    if (!m_messageAnswers.empty()) {
        record.answer = m_messageAnswers.front();
        record.scripted = true;
        m_messageAnswers.pop_front();
    } else {
        record.answer = CDefaultUIHost::DefaultAnswer(style);
    }
    m_messages.push_back(record);
    return record.answer;
}

INT_PTR CScriptedUIHost::RunModal(CDialog& dlg)
{
    // Kept by index: nested dialogs append their own records meanwhile.
    const size_t index = m_dialogs.size();
    m_dialogs.push_back(DialogRecord{});
    m_dialogs[index].templateId = dlg.GetTemplateId();

    const bool open = InitDialog(dlg);
    m_dialogs[index].caption = dlg.GetCaption();
    m_dialogs[index].endedAtInit = !open;

    // Every turn consumes a script, so the loop ends with the queue at the latest.
    while (!dlg.HasEnded() && !m_dialogScripts.empty()) {
        DialogScript script = std::move(m_dialogScripts.front());
        m_dialogScripts.pop_front();
        m_dialogs[index].scriptsUsed++;
        m_dialogs[index].scripted = true;
        const INT_PTR button = script ? script(dlg) : INT_PTR(IDCANCEL);
        if (dlg.HasEnded() || button == StayOpen)
            continue;
        if (button == IDOK)
            dlg.OnOK();
        else if (button == IDCANCEL)
            dlg.OnCancel();
        else
            dlg.EndDialog(static_cast<int>(button));
    }
    if (!dlg.HasEnded())
        m_dialogs[index].scripted = false;  // left to the default rule at the end
    const INT_PTR result = CDefaultUIHost::CancelDialog(dlg);
    m_dialogs[index].result = result;
    return result;
}

void CScriptedUIHost::QueueMessageAnswer(int answer)
{
    m_messageAnswers.push_back(answer);
}

void CScriptedUIHost::QueueDialogScript(DialogScript script)
{
    m_dialogScripts.push_back(std::move(script));
}

void CScriptedUIHost::QueueDialogAnswer(INT_PTR button)
{
    m_dialogScripts.push_back([button](CDialog&) { return button; });
}

void CScriptedUIHost::Reset()
{
    m_messageAnswers.clear();
    m_dialogScripts.clear();
    m_messages.clear();
    m_dialogs.clear();
}

void SetUIHost(CUIHost* host)
{
    g_host.store(host);
}

CUIHost* GetUIHost()
{
    CUIHost* host = g_host.load();
    static CDefaultUIHost defaultHost;
    return host != nullptr ? host : &defaultHost;
}

CUIHostScope::CUIHostScope(CUIHost* host) : m_pPrevious(g_host.load())
{
    SetUIHost(host);
}

CUIHostScope::~CUIHostScope()
{
    SetUIHost(m_pPrevious);
}

int AfxMessageBox(const char* text, UINT style)
{
    return GetUIHost()->MessageBox(CString(text), style);
}

int AfxMessageBox(UINT stringId, UINT style)
{
    CString text;
    if (!ZenLookupString(stringId, text))
        text.Format("Missing text %u", stringId);
    return GetUIHost()->MessageBox(text, style);
}
