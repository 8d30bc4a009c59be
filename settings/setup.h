#pragma once
// Saving the server settings the user typed into the settings dialog.
#include "settings/inifile.h"

#include <string>
#include <utility>
#include <vector>

// The dialog's three fields, in the active code page.
struct ServerFields {
    std::string address;
    std::string port;
    std::string website;
};

enum SaveOutcome {
    kSaveDone,         // written (or logged as unwritable): the dialog closes
    kSaveEmptyField,   // a field is empty: nothing changed anywhere
};

// The port as the dialog reads it: the leading digits as a C integer (0 when
// there are none), kept in 16 bits.
int ParseServerPort(const std::string& text);

// [para] keys with their new values, in the active code page.
using IniValues = std::vector<std::pair<std::string, std::string>>;

// Writes `values` into [para] of local.ini at `path` and touches nothing
// else: each key's lines get the new value (SetIniValues), every other line
// stays as it was, in the file's own encoding and byte-order mark. A missing
// file is created holding the keys alone (the program's defaults for the
// rest, as for an empty file); a file the reader refuses is kept as
// local.ini.bak and the keys then stand alone. The new text goes to
// local.ini.tmp, which takes the old file's place only when complete.
// A file that already holds the values is not written at all.
// Empty on success, else what failed (also logged): a read-only file, one
// that exists and cannot be read, a folder that is gone or unwritable.
std::string WriteLocalIniValues(const std::string& path, const IniValues& values);

// The keys local.ini knows ([para]), those an installer sets first.
const std::vector<std::string>& LocalIniKeys();

// Checks the fields first; then writes the three keys, `version` and
// `edition` (as loaded) into local.ini at `path` (WriteLocalIniValues; a
// file it cannot write is logged and left alone), and only then
// puts the new values into the server settings and registers the server as
// a trusted site. The server IP and the carrier lookups are left to the
// caller's worker (StartAddressLookups): a dotted address is taken at once.
SaveOutcome SaveServerSettings(const ServerFields& fields, const std::string& path);
