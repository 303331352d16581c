// The library's string table (messages, captions and labels by numeric id)
// and the fixed texts of its dialog templates. The shipped texts are Spanish,
// some English, all UTF-8.
#pragma once

#include "framework/CString.h"

#include <vector>

// Text of a string-table entry; an empty string for an unknown id.
CString LoadResString(UINT id);

// Looks an id up: TRUE and the text in out; false and out emptied for an
// unknown id. CString::LoadString is built on it.
bool ZenLookupString(UINT id, CString& out);

// Control id of template texts that belong to no addressable control
// (labels, group boxes and notes that the code never changes).
constexpr int IDC_STATIC = -1;

// Ids of the dialog templates.
constexpr UINT IDD_REGISTER_SAMPLE = 13002;
constexpr UINT IDD_SAMPLE_SETTINGS_PAGE = 13003;
constexpr UINT IDD_LOGIN = 13004;
constexpr UINT IDD_SEARCH_SAMPLES = 13005;
constexpr UINT IDD_BATCH_CREATE = 13029;

// One fixed text of a dialog template: the text a control shows when the
// dialog opens (button, label, group box); nControlId is IDC_STATIC for texts
// of controls without an id.
struct ZenDialogText {
    int nControlId;
    const char* pszText;
};

// Caption of a dialog template; empty for an unknown template and for one
// whose caption is always set by its dialog at opening (13002).
CString LoadDialogCaption(UINT templateId);
// Fixed control texts of a dialog template in template order; empty for an
// unknown template. Texts that the dialog sets itself at opening are not here.
std::vector<ZenDialogText> GetDialogTexts(UINT templateId);
