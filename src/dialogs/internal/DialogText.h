// Internal helpers of the sample dialogs: message texts of the string table
// with their "%s" fields filled, and the labels of registration fields.
#pragma once

#include "database/ZENDatabase.h"
#include "framework/CString.h"
#include "framework/StringTable.h"

#include <initializer_list>

namespace zendlg {

// The string-table text of id with each "%s" replaced, in order, by the next
// argument (missing arguments leave "%s"; "%%" becomes "%"). No printf: the
// arguments may hold any character, '%' included.
CString FormatText(UINT id, std::initializer_list<const char*> args);

// The label of a registration field in the chosen language: its standard
// label when the text is the name of a standard field ("WorkOrder" -> "Orden
// de trabajo"); the translated default when the text is exactly the default
// name a new database stores for a custom field ("Campo personalizado 3");
// else the text as stored.
CString FieldLabel(const CString& description);

// True when name ends in "Date": the field is a date field.
bool IsDateFieldName(const CString& name);

// Whether the session of database may do the action
// (CZENDatabase::IsActionAllowed); when not, the refusal, which names the
// role needed, is shown in an error message box. A null database is allowed:
// the dialogs refuse that case with their own message.
bool ActionAllowedOrShown(CZENDatabase* database, ZENAction action);

} // namespace zendlg
