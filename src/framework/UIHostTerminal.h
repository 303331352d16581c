// A user interface host for terminal programs: message boxes are printed and,
// when a person sits at the terminal, answered there; dialogs are filled in
// field by field. Off a terminal it behaves like the non-interactive default.
#pragma once

#include "framework/UIHost.h"

#include <cstdio>

class CPropertySheet;

// Interactive when its input is a terminal (isatty), unless told otherwise.
//
// Message boxes: the text goes to the output with its icon word; an OK-only
// box just prints; every other box asks for the answer ("[y/n]", "[y/n/c]",
// "[o/c]", "[r/c]", "[a/r/i]"; "s" counts as yes) until a valid one is
// typed. End of input or a non-interactive host gives the default answer
// of CDefaultUIHost.
//
// Dialogs: after OnInitDialog the host walks the visible, enabled inputs in
// tab order and asks for each (label = its check box text or the nearest
// label before it; the current value in brackets; an empty line keeps it):
// edits (masked edits are read without echo and show no current value),
// check boxes (y/n), combo boxes (the number of an item, or a text for an
// editable one), date pickers ("dd/mm/yyyy", "-" for no date). Then a dialog
// with only OK and Cancel asks "Aceptar? [Y/n]"; any other lists its
// buttons and asks for one (Enter: the default button). A dialog that stays
// open is asked again. A property sheet asks page by page, then OK/Cancel.
// End of input cancels the dialog. The login dialog (user name, then the
// password without echo) is the same walk.
class CTerminalUIHost : public CUIHost {
public:
    // stdin / stderr, interactive when stdin is a terminal.
    CTerminalUIHost();
    // Given streams (not owned); interactive as stated.
    CTerminalUIHost(FILE* in, FILE* out, bool interactive);

    int MessageBox(const CString& text, UINT style) override;
    INT_PTR RunModal(CDialog& dlg) override;

    bool IsInteractive() const { return m_bInteractive; }

private:
    // One line of input without its line end; false at end of input.
    bool ReadLine(CString& line, bool noEcho = false);
    void Print(const char* text);
    // Walks the inputs of one dialog or page; false at end of input.
    bool AskFields(CDialog& dlg);
    // Asks for a button and clicks it; false at end of input.
    bool AskButton(CDialog& dlg);
    bool AskSheet(CPropertySheet& sheet);

    FILE* m_in;
    FILE* m_out;
    bool m_bInteractive;
};
