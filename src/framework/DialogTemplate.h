// Dialog templates as data: every control of a dialog with its id, kind,
// initial text, place (dialog units) and style. The library's own templates
// (13002 registration, 13003 settings page, 13004 login, 13005 search, 13029
// batch) are built in; an application can add templates of its own.
// Captions and control texts here are the shipped texts; CDialog shows the
// caption, labels, group boxes and buttons in the chosen language
// (ZenTranslateDialogText, context "dialog <id>").
#pragma once

#include "framework/CString.h"
#include "framework/Controls.h"

#include <vector>

// One control of a template.
struct ZenControlTemplate {
    ZenControlKind kind = ZenControlKind::Static;
    int id = -1;            // IDC_STATIC (-1) for texts the code never addresses
    CString text;           // initial text (label, button, group title)
    int x = 0;              // place in dialog units
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;        // ES_*, BS_*, CBS_*, DTS_*
    bool visible = true;    // false: hidden when the dialog opens
};

// A dialog (or property page) template.
struct ZenDialogTemplate {
    UINT id = 0;
    CString caption;        // empty when the dialog sets it at opening
    int cx = 0;             // client size in dialog units
    int cy = 0;
    std::vector<ZenControlTemplate> controls;  // in tab order

    // The first control with this id; nullptr when none.
    const ZenControlTemplate* FindControl(int id) const;
};

// The template of that id: the last one an application registered under it,
// else the built-in one; nullptr when there is none.
const ZenDialogTemplate* ZenFindDialogTemplate(UINT id);

// Adds (or replaces) a template under its id for the rest of the process.
void ZenRegisterDialogTemplate(const ZenDialogTemplate& dialogTemplate);

// Ids of the built-in templates, ascending.
std::vector<UINT> ZenBuiltInDialogTemplateIds();
