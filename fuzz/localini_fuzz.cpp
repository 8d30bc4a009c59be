// Arbitrary bytes as local.ini: read in the encoding their mark names, the
// server settings taken from them, then saved the way the settings dialog
// saves and read back. Files the old reader (Boost's) took must read the
// same; a file it refused for anything but a repetition must be refused at
// the same line.
#include "settings/config.h"

#include <boost/property_tree/ini_parser.hpp>
#include <fuzzer/FuzzedDataProvider.h>

#include <stdlib.h>

#include <sstream>

namespace pt = boost::property_tree;

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

// A value as the dialog's one-line fields give it: no line ends, no zero
// bytes, no Ctrl-Z, no blanks around it (the reader trims those).
std::string FieldValue(std::string text, bool asciiOnly)
{
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || (asciiOnly && u >= 0x80)) continue;
        out += c;
    }
    const size_t first = out.find_first_not_of(' ');
    out = first == std::string::npos ? "" : out.substr(first, out.find_last_not_of(' ') + 1 - first);
    return out.empty() ? "x" : out;
}

void CompareWithOldReader(const std::string& text, bool parsed, const pt::ptree& mine, const IniError& error)
{
    if (text.find('\x1A') != std::string::npos) return;  // the old reader met Ctrl-Z only in files
    pt::ptree old;
    std::istringstream in(text);
    try {
        pt::read_ini(in, old);
    } catch (const pt::ini_parser_error& e) {
        const std::string why = e.message();
        if (why.find("duplicate") != std::string::npos)
            Check(parsed || error.line > e.line());
        else
            Check(!parsed && error.line == e.line());
        return;
    }
    Check(parsed && old == mine);
}

void SaveAndReload(const std::string& bytes, IniEncoding encoding, const pt::ptree& before, FuzzedDataProvider& rest)
{
    const bool marked = encoding != kIniAnsi;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"server_addr", FieldValue(rest.ConsumeRandomLengthString(40), marked)},
        {"server_port", "8080"},
        {"server_website", FieldValue(rest.ConsumeRandomLengthString(40), marked)},
        {"version", "12.000.000.0000"},
        {"edition", "std"},
    };
    const std::string saved = marked ? Utf8ToIniBytes(SetIniValues(IniBytesToUtf8(bytes, encoding), "para", values), encoding)
                                     : SetIniValues(bytes, "para", values);
    IniEncoding again = kIniAnsi;
    pt::ptree after;
    IniError error;
    Check(ParseIniText(IniBytesToText(saved, &again), after, &error));
    Check(again == encoding);
    for (const auto& value : values) Check(after.get<std::string>("para." + value.first) == value.second);

    // Everything else reads as before.
    for (const auto& child : before) {
        if (child.first != "para") {
            auto found = after.find(child.first);
            Check(found != after.not_found() && found->second == child.second);
            continue;
        }
        for (const auto& key : child.second) {
            bool replaced = false;
            for (const auto& value : values) replaced = replaced || value.first == key.first;
            if (!replaced) Check(after.get_child("para").find(key.first)->second == key.second);
        }
    }
    Check(after.size() == before.size() + (before.find("para") == before.not_found() ? 1 : 0));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    // The file, and after it what the dialog's fields hold.
    const std::string bytes = provider.ConsumeRandomLengthString(4096);

    IniEncoding encoding = kIniAnsi;
    const std::string text = IniBytesToText(bytes, &encoding);
    Check(encoding == DetectIniEncoding(bytes));
    if (encoding == kIniAnsi) Check(text == bytes);

    // A key no line can hold (keys never contain a line end).
    const pt::ptree::path_type sentinel("\nuntouched", '\0');
    pt::ptree tree;
    tree.put(sentinel, "1");
    IniError error;
    const bool parsed = ParseIniText(text, tree, &error);
    if (!parsed) {
        Check(error.line >= 1 && !error.reason.empty());
        Check(tree.size() == 1 && tree.get<std::string>(sentinel) == "1");
    } else {
        Check(tree.find("\nuntouched") == tree.not_found());
    }
    if (encoding == kIniAnsi) CompareWithOldReader(text, parsed, tree, error);

    ServerSettings settings;
    ReadServerSettings(parsed ? tree : pt::ptree(), &settings);
    Check(!settings.serverAddr.empty() || tree.get<std::string>("para.server_addr", "x").empty());

    if (parsed) SaveAndReload(bytes, encoding, tree, provider);
    return 0;
}
