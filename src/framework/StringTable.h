// The library's string table (messages, captions and labels by numeric id)
// and the fixed texts of its dialog templates. The shipped texts are Spanish,
// some English, all UTF-8.
//
// Every lookup answers in the chosen language (Translation.h) from the
// catalogue of text domain "zendatabase", falling back to the shipped text
// when the language has no catalogue or the catalogue no entry. Keys:
//   - a string-table entry: msgctxt the id in decimal ("13010"), msgid the
//     shipped text;
//   - a text of a dialog template (caption, button, label, group box, also
//     the labels the built-in templates hold that are not listed here):
//     msgctxt "dialog <template id>" ("dialog 13004"), msgid the shipped text;
//   - other texts the library composes for a person: msgctxt naming where
//     they appear ("message", "terminal", "window"), msgid the shipped text.
// Under the C locale (no language chosen) a lookup does no catalogue work.
#pragma once

#include "framework/CString.h"

#include <vector>

// Text of a string-table entry in the chosen language; an empty string for
// an unknown id.
CString LoadResString(UINT id);

// Looks an id up: TRUE and the text (in the chosen language) in out; false
// and out emptied for an unknown id. CString::LoadString is built on it.
bool ZenLookupString(UINT id, CString& out);

// Ids of the shipped string table, ascending.
std::vector<UINT> ZenGetStringTableIds();

// The catalogue context of the texts of a dialog template: "dialog <id>".
CString ZenDialogTextContext(UINT templateId);

// A text of dialog template templateId in the chosen language; the text as
// given when there is no translation (an empty text stays empty).
CString ZenTranslateDialogText(UINT templateId, const CString& text);

// Control id of template texts that belong to no addressable control
// (labels, group boxes and notes that the code never changes).
constexpr int IDC_STATIC = -1;

// Ids of the dialog templates.
constexpr UINT IDD_REGISTER_SAMPLE = 13002;
constexpr UINT IDD_SAMPLE_SETTINGS_PAGE = 13003;
constexpr UINT IDD_LOGIN = 13004;
constexpr UINT IDD_SEARCH_SAMPLES = 13005;
constexpr UINT IDD_BATCH_CREATE = 13029;
constexpr UINT IDD_CHANGE_REASON = 13300;

// One fixed text of a dialog template: the text a control shows when the
// dialog opens (button, label, group box); nControlId is IDC_STATIC for texts
// of controls without an id.
struct ZenDialogText {
    int nControlId;
    const char* pszText;
};

// Caption of a dialog template in the chosen language; empty for an unknown template and for one
// whose caption is always set by its dialog at opening (13002).
CString LoadDialogCaption(UINT templateId);
// Fixed control texts of a dialog template in template order, in the chosen
// language (the texts stay valid for the life of the process); empty for an
// unknown template. Texts that the dialog sets itself at opening are not here.
std::vector<ZenDialogText> GetDialogTexts(UINT templateId);
