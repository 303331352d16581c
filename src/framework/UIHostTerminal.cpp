// Terminal user interface host: prints message boxes and asks for answers,
// walks dialog inputs one by one, reads masked inputs without echo (termios).
#include "framework/UIHostTerminal.h"

#include "framework/CDialog.h"
#include "framework/PropertySheet.h"
#include "framework/Translation.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

// A text of this host in the chosen language.
const char* Tr(const char* text)
{
    return ZenTranslate(kZenTextDomain, "terminal", text);
}

const char* IconWord(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        return Tr("Error");
    case MB_ICONWARNING:
        return Tr("Warning");
    case MB_ICONQUESTION:
        return Tr("Question");
    case MB_ICONINFORMATION:
        return Tr("Information");
    default:
        return Tr("Message");
    }
}

// An answer of a message box or a question: the word in the chosen language
// (catalogue context "terminal answer") and its first letter, which is what
// the prompt offers. The shipped letter and word are always accepted too,
// so typing habits and scripts keep working in every language.
struct Answer {
    const char* shipped;  // shipped word ("yes"); its first letter is the shipped key
    int id;
};

constexpr Answer kYes{"yes", IDYES};
constexpr Answer kNo{"no", IDNO};
constexpr Answer kOk{"ok", IDOK};
constexpr Answer kCancel{"cancel", IDCANCEL};
constexpr Answer kRetry{"retry", IDRETRY};
constexpr Answer kAbort{"abort", IDABORT};
constexpr Answer kIgnore{"ignore", IDIGNORE};

CString Word(const Answer& answer)
{
    CString word(ZenTranslate(kZenTextDomain, "terminal answer", answer.shipped));
    word.MakeLower();
    return word;
}

// First character of a UTF-8 word ("sí" -> "s", "ñu" -> "ñ").
CString FirstLetter(const CString& word)
{
    if (word.IsEmpty())
        return word;
    int length = 1;
    const auto lead = static_cast<unsigned char>(word[0]);
    if (lead >= 0xF0)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC0)
        length = 2;
    return word.Left(length);
}

CString Key(const Answer& answer)
{
    return FirstLetter(Word(answer));
}

bool Matches(const CString& typed, const Answer& answer)
{
    CString a(typed);
    a.Trim();
    a.MakeLower();
    if (a.IsEmpty())
        return false;
    const CString shipped(answer.shipped);
    const CString word = Word(answer);
    if (a == shipped || a == FirstLetter(shipped) || a == word || a == FirstLetter(word))
        return true;
    // Spanish yes, typed with or without its accent, as the station always took it.
    return answer.id == IDYES && (a == "s" || a == "si" || a == "sí");
}

// The closing question of a dialog: "Aceptar? [Y/n] " with the chosen
// language's keys, Yes first and upper case as the answer an empty line gives.
CString AcceptPrompt()
{
    CString yes = Key(kYes);
    if (yes.GetLength() == 1)
        yes.MakeUpper();
    CString prompt;
    prompt.Format("%s [%s/%s] ", Tr("Aceptar?"), yes.GetString(), Key(kNo).GetString());
    return prompt;
}

// Label text without mnemonic markers ("&Usuario:" -> "Usuario").
CString Plain(const CString& text)
{
    CString plain;
    for (int i = 0; i < text.GetLength(); ++i) {
        const char ch = text[i];
        if (ch == '&' && i + 1 < text.GetLength()) {
            plain += text[++i];
            continue;
        }
        plain += ch;
    }
    plain.TrimRight();
    plain.TrimRight(':');
    return plain;
}

bool IsInput(const CControlWnd& control)
{
    if (!control.IsWindowVisible() || !control.IsWindowEnabled())
        return false;
    switch (control.GetKind()) {
    case ZenControlKind::Edit:
        return (control.GetStyle() & ES_READONLY) == 0;
    case ZenControlKind::CheckBox:
    case ZenControlKind::ComboBox:
    case ZenControlKind::DateTimePicker:
        return true;
    default:
        return false;
    }
}

bool IsYes(const CString& answer)
{
    return Matches(answer, kYes);
}

bool IsNo(const CString& answer)
{
    return Matches(answer, kNo);
}

} // namespace

CTerminalUIHost::CTerminalUIHost() : CTerminalUIHost(stdin, stderr, isatty(fileno(stdin)) != 0)
{
}

CTerminalUIHost::CTerminalUIHost(FILE* in, FILE* out, bool interactive) : m_in(in), m_out(out), m_bInteractive(interactive)
{
}

void CTerminalUIHost::Print(const char* text)
{
    std::fputs(text, m_out);
    std::fflush(m_out);
}

bool CTerminalUIHost::ReadLine(CString& line, bool noEcho)
{
    line.Empty();
    const int fd = fileno(m_in);
    termios saved{};
    const bool hide = noEcho && isatty(fd) != 0 && tcgetattr(fd, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&buffer, &capacity, m_in);
    if (hide) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        Print("\n");
    }
    if (length < 0) {
        std::free(buffer);
        return false;
    }
    std::string text(buffer, static_cast<size_t>(length));
    std::free(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    line = text;
    return true;
}

int CTerminalUIHost::MessageBox(const CString& text, UINT style)
{
    CString shown;
    shown.Format("ZEN %s: %s\n", IconWord(style), text.GetString());
    Print(shown);
    const UINT type = style & MB_TYPEMASK;
    if (!m_bInteractive || type == MB_OK)
        return CDefaultUIHost::DefaultAnswer(style);

    std::vector<Answer> choices;
    switch (type) {
    case MB_OKCANCEL:
        choices = {kOk, kCancel};
        break;
    case MB_YESNOCANCEL:
        choices = {kYes, kNo, kCancel};
        break;
    case MB_RETRYCANCEL:
        choices = {kRetry, kCancel};
        break;
    case MB_ABORTRETRYIGNORE:
        choices = {kAbort, kRetry, kIgnore};
        break;
    case MB_YESNO:
    default:
        choices = {kYes, kNo};
        break;
    }
    CString prompt("[");
    for (size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            prompt += "/";
        prompt += Key(choices[i]);
    }
    prompt += "] ";
    for (;;) {
        Print(prompt);
        CString answer;
        if (!ReadLine(answer))
            return CDefaultUIHost::DefaultAnswer(style);
        // The chosen language's keys first, so that a letter one language
        // gives to one answer and the shipped keys to another (Spanish "o"
        // for Omitir, shipped "o" for OK) never picks the wrong one.
        for (const Answer& choice : choices) {
            CString a(answer);
            a.Trim();
            a.MakeLower();
            if (!a.IsEmpty() && (a == Word(choice) || a == Key(choice)))
                return choice.id;
        }
        for (const Answer& choice : choices) {
            if (Matches(answer, choice))
                return choice.id;
        }
    }
}

bool CTerminalUIHost::AskFields(CDialog& dlg)
{
    CString lastLabel;
    for (int i = 0; i < dlg.GetControlCount(); ++i) {
        CControlWnd& control = *dlg.GetControlAt(i);
        if (control.GetKind() == ZenControlKind::Static) {
            if (control.IsWindowVisible())
                lastLabel = Plain(control.GetWindowText());
            continue;
        }
        if (!IsInput(control))
            continue;
        const CString label = control.GetKind() == ZenControlKind::CheckBox ? Plain(control.GetWindowText()) : lastLabel;
        lastLabel.Empty();
        CString prompt;
        CString answer;
        switch (control.GetKind()) {
        case ZenControlKind::Edit: {
            const bool masked = (control.GetStyle() & ES_PASSWORD) != 0;
            if (masked)
                prompt.Format("%s: ", label.GetString());
            else
                prompt.Format("%s [%s]: ", label.GetString(), control.GetWindowText().GetString());
            Print(prompt);
            if (!ReadLine(answer, masked))
                return false;
            if (!answer.IsEmpty() || masked)
                static_cast<CEdit&>(control).InputText(answer);
            break;
        }
        case ZenControlKind::CheckBox: {
            auto& box = static_cast<CButton&>(control);
            prompt.Format("%s [%s]: ", label.GetString(),
                          (box.GetCheck() == BST_CHECKED ? Key(kYes) : Key(kNo)).GetString());
            Print(prompt);
            if (!ReadLine(answer))
                return false;
            if (IsYes(answer))
                box.SetCheck(BST_CHECKED);
            else if (IsNo(answer))
                box.SetCheck(BST_UNCHECKED);
            break;
        }
        case ZenControlKind::ComboBox: {
            auto& combo = static_cast<CComboBox&>(control);
            for (int item = 0; item < combo.GetCount(); ++item) {
                CString line;
                line.Format("  %d) %s\n", item + 1, combo.GetLBText(item).GetString());
                Print(line);
            }
            prompt.Format("%s [%s]: ", label.GetString(), combo.GetWindowText().GetString());
            Print(prompt);
            if (!ReadLine(answer))
                return false;
            if (answer.IsEmpty())
                break;
            char* end = nullptr;
            const long number = std::strtol(answer.GetString(), &end, 10);
            if (end != nullptr && *end == '\0' && number >= 1 && number <= combo.GetCount())
                combo.SetCurSel(static_cast<int>(number - 1));
            else
                combo.InputText(answer);
            break;
        }
        case ZenControlKind::DateTimePicker: {
            CString current = control.GetWindowText();
            prompt.Format("%s %s [%s]: ", label.GetString(), Tr("(dd/mm/yyyy, - none)"),
                          current.IsEmpty() ? "-" : current.GetString());
            Print(prompt);
            if (!ReadLine(answer))
                return false;
            answer.Trim();
            if (answer == "-")
                control.SetWindowText("");
            else if (!answer.IsEmpty())
                control.SetWindowText(answer);
            break;
        }
        default:
            break;
        }
    }
    return true;
}

bool CTerminalUIHost::AskButton(CDialog& dlg)
{
    std::vector<CButton*> buttons;
    CButton* defaultButton = nullptr;
    for (int i = 0; i < dlg.GetControlCount(); ++i) {
        auto* button = dynamic_cast<CButton*>(dlg.GetControlAt(i));
        if (button == nullptr || button->IsCheckBox() || !button->IsWindowVisible() || !button->IsWindowEnabled())
            continue;
        buttons.push_back(button);
        if ((button->GetStyle() & BS_DEFPUSHBUTTON) != 0 || (defaultButton == nullptr && button->GetDlgCtrlID() == IDOK))
            defaultButton = button;
    }
    const bool okCancelOnly = buttons.size() <= 2 && [&] {
        for (CButton* b : buttons) {
            if (b->GetDlgCtrlID() != IDOK && b->GetDlgCtrlID() != IDCANCEL)
                return false;
        }
        return true;
    }();
    if (okCancelOnly) {
        CString answer;
        Print(AcceptPrompt());
        if (!ReadLine(answer))
            return false;
        dlg.OnCommand(IsNo(answer) ? IDCANCEL : IDOK);
        return true;
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
        CString line;
        line.Format("  %zu) %s\n", i + 1, Plain(buttons[i]->GetWindowText()).GetString());
        Print(line);
    }
    for (;;) {
        CString prompt;
        prompt.Format("%s [%s]: ", Tr("Button"), defaultButton != nullptr ? Plain(defaultButton->GetWindowText()).GetString() : "");
        Print(prompt);
        CString answer;
        if (!ReadLine(answer))
            return false;
        answer.Trim();
        if (answer.IsEmpty() && defaultButton != nullptr) {
            dlg.ClickDlgButton(defaultButton->GetDlgCtrlID());
            return true;
        }
        char* end = nullptr;
        const long number = std::strtol(answer.GetString(), &end, 10);
        if (!answer.IsEmpty() && *end == '\0' && number >= 1 && number <= static_cast<long>(buttons.size())) {
            dlg.ClickDlgButton(buttons[static_cast<size_t>(number - 1)]->GetDlgCtrlID());
            return true;
        }
    }
}

bool CTerminalUIHost::AskSheet(CPropertySheet& sheet)
{
    for (int i = 0; i < sheet.GetPageCount(); ++i) {
        sheet.SetActivePage(i);
        CString title;
        title.Format("-- %s --\n", sheet.GetPage(i)->GetCaption().GetString());
        Print(title);
        if (!AskFields(*sheet.GetPage(i)))
            return false;
    }
    CString answer;
    Print(AcceptPrompt());
    if (!ReadLine(answer))
        return false;
    sheet.OnCommand(IsNo(answer) ? IDCANCEL : IDOK);
    return true;
}

INT_PTR CTerminalUIHost::RunModal(CDialog& dlg)
{
    dlg.OnInitDialog();
    if (dlg.HasEnded())
        return dlg.GetModalResult();
    if (!m_bInteractive) {
        CString note;
        note.Format(Tr("ZEN dialog %u \"%s\": cancelled, no terminal\n"), dlg.GetTemplateId(),
                    dlg.GetCaption().GetString());
        Print(note);
        return CDefaultUIHost::CancelDialog(dlg);
    }
    auto* sheet = dynamic_cast<CPropertySheet*>(&dlg);
    while (!dlg.HasEnded()) {
        CString title;
        title.Format("== %s ==\n", dlg.GetCaption().GetString());
        Print(title);
        const bool more = sheet != nullptr ? AskSheet(*sheet) : (AskFields(dlg) && AskButton(dlg));
        if (!more)
            break;
    }
    return CDefaultUIHost::CancelDialog(dlg);
}
