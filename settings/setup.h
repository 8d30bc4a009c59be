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

// Checks the fields first; then writes local.ini at `path` (a complete
// temporary file beside it replaces it; a file that could not be read is
// kept as local.ini.bak, the five keys then stand alone), and only then
// puts the new values into the server settings and registers the server as
// a trusted site. The server IP and the carrier lookups are left to the
// caller's worker (StartAddressLookups): a dotted address is taken at once.
SaveOutcome SaveServerSettings(const ServerFields& fields, const std::string& path);
