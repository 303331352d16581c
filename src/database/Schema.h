// Creation of a new, empty station database file with the tables and columns
// of a given schema version (1.6 to 1.9), its version row, the 27 sample
// registration fields with their descriptions, and the lookup indexes.
#pragma once

#include "framework/CString.h"
#include "framework/Types.h"

// Creates the database file `path` (SQLite) at schema version
// schemaVersionMajor.schemaVersionMinor, which must be 1.6, 1.7, 1.8 or 1.9:
// 1.6 lacks Samples.Trace, 1.7 also has it, 1.8 adds
// Patterns.AutomaticallyEdgeAlignment, 1.9 adds Patterns.Deleted and
// RoutineTypes.Deleted (each column where the upgrade to that version puts it).
// Fills SystemTable with the version, Registration with the eight standard
// fields (visible) and the nineteen custom fields (hidden) in display order
// 0..26 with the two date fields at positions 5 and 6, and
// RegistrationDescriptions with a description for each. A file of the
// current version 1.9 also gets the unique index of the sample identifiers
// (compared without regard to ASCII letter case; empty ones left out).
// Never overwrites: an existing file (or any other entry under that name) is
// refused. Returns TRUE when the file was created; otherwise FALSE with the
// reason in *error (when given), and no file is left behind.
BOOL ZenCreateDatabaseFile(const char* path, int schemaVersionMajor = 1, int schemaVersionMinor = 9,
                           CString* error = nullptr);

// The same tables, rows and indexes as ZenCreateDatabaseFile, made in the
// existing database that connectString names (CDatabase::OpenEx's forms; a
// PostgreSQL server database above all), in one transaction. Refuses a
// database that holds a version table already. Returns TRUE when done;
// otherwise FALSE with the reason in *error (when given; a password of the
// connection string is never shown) and nothing of the schema left behind.
BOOL ZenCreateDatabaseSchema(const char* connectString, int schemaVersionMajor = 1, int schemaVersionMinor = 9,
                             CString* error = nullptr);
