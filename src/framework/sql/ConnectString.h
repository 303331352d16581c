// Putting a value (a database file path above all) into an ODBC-style
// connection string of "KEY=value;" pairs so that CDatabase::OpenEx reads
// back exactly that value, whatever characters it holds.
#pragma once

#include "framework/CString.h"

// The value as it must follow "KEY=": unchanged when it holds nothing that
// means something in a connection string; otherwise in braces, with every
// '}' inside doubled. Braces are used for a value holding ';', '{', '}' or
// '=', and for one that begins or ends with a blank (unbraced values are
// trimmed). Example: "Dbq=" + FormatConnectStringValue(path) + ";".
CString FormatConnectStringValue(const char* value);

// connect with every password in it replaced by "***": the value of
// password= / PWD= (quoted, braced or plain) and the password of a URI's
// "user:password@". What the library logs or reports of a connection string
// goes through this; the rest of the text is kept as it stands.
CString MaskConnectPassword(const CString& connect);
