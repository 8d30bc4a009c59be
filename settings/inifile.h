#pragma once
// local.ini and local.inf as people and editors write them: the encodings
// Notepad saves, the lines the reader takes, and the line-preserving edit the
// settings dialog saves with. Free of <windows.h> (the conversion to the
// active code page goes through base/textconv.h), so it also builds natively.
#include <boost/property_tree/ptree.hpp>

#include <string>
#include <utility>
#include <vector>

// What a file's first bytes say it holds. Without a byte-order mark the file
// is taken as the active code page, byte for byte, as it always was.
enum IniEncoding {
    kIniAnsi,
    kIniUtf8Bom,   // EF BB BF
    kIniUtf16Le,   // FF FE (Notepad's "Unicode")
    kIniUtf16Be,   // FE FF
};

IniEncoding DetectIniEncoding(const std::string& bytes);

// The file's text in the program's narrow form (the active code page):
// an ANSI file unchanged, any other without its mark and converted.
// Characters the code page lacks become what the system puts for them ("?").
std::string IniBytesToText(const std::string& bytes, IniEncoding* encoding = nullptr);

// The file's text as UTF-8 without the mark (an ANSI file is returned as it
// is), and back: the settings dialog edits a marked file in UTF-8 so that no
// character of other lines is lost on the way, then writes it in its own
// encoding again, mark included. Malformed UTF-8 and unpaired surrogates
// become U+FFFD; a lone last byte of a UTF-16 file is dropped.
std::string IniBytesToUtf8(const std::string& bytes, IniEncoding encoding);
std::string Utf8ToIniBytes(const std::string& utf8, IniEncoding encoding);

struct IniError {
    unsigned long line = 0;  // 1-based
    std::string reason;      // in the active code page, for the user
};

// The reader. Lines end at "\n"; blanks ("\t\n\v\f\r ") around lines, keys,
// values and section names do not count; a line starting with ";" or "#" is
// a comment, so text after a value, ";" included, belongs to the value.
// "[name]" opens a section (text after the "]" is ignored); a section
// written twice is one section, and a key written twice in a section keeps
// its last value, as a person reading the file from the top expects. A key
// before any section sits at the top. Sections without keys are dropped.
// A Ctrl-Z ends the text, as the C runtime's text mode reads it.
// False, with `tree` untouched and `error` filled, for a "[" without "]",
// a line without "=", or a line starting with "=".
bool ParseIniText(const std::string& text, boost::property_tree::ptree& tree, IniError* error);

// Replaces or adds `key=value` lines in `section` of an INI text and leaves
// every other byte as it was. Sections and keys are recognised as the reader
// recognises them; every line of a key in the section (in each place the
// section is written) gets the new value, so the reader's last value is the
// new one too. A missing key goes after the last line of the section's last
// place, a missing section at the end. New lines end like the text's own
// (CRLF when it has none).
std::string SetIniValues(const std::string& text, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values);
