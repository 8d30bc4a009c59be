#include "settings/inifile.h"

#include "base/textconv.h"
#include "base/utf8.h"

#include <algorithm>

namespace pt = boost::property_tree;

namespace {

const char kBlanks[] = " \t\n\v\f\r";

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

// One line as the reader sees it.
struct IniLine {
    enum Kind { kBlank, kComment, kSection, kKey, kBad } kind = kBlank;
    std::string name;   // the section's or the key's
    std::string value;
    const char* reason = "";
};

IniLine ClassifyLine(const std::string& raw)
{
    IniLine out;
    const std::string line = Trim(raw);
    if (line.empty()) return out;
    if (line[0] == ';' || line[0] == '#') {
        out.kind = IniLine::kComment;
    } else if (line[0] == '[') {
        const size_t end = line.find(']');
        if (end == std::string::npos) {
            out.kind = IniLine::kBad;
            out.reason = "节名缺少“]”";
        } else {
            out.kind = IniLine::kSection;
            out.name = Trim(line.substr(1, end - 1));
        }
    } else {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            out.kind = IniLine::kBad;
            out.reason = "缺少“=”";
        } else if (equals == 0) {
            out.kind = IniLine::kBad;
            out.reason = "“=”前缺少名称";
        } else {
            out.kind = IniLine::kKey;
            out.name = Trim(line.substr(0, equals));
            out.value = Trim(line.substr(equals + 1));
        }
    }
    return out;
}

std::u16string FileUnits(const std::string& bytes, IniEncoding encoding)
{
    if (encoding == kIniUtf8Bom) return Utf8ToUtf16(bytes.substr(3));
    std::u16string units;
    const bool big = encoding == kIniUtf16Be;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned char a = static_cast<unsigned char>(bytes[i]);
        const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(big ? a << 8 | b : b << 8 | a);
    }
    return units;
}

} // namespace

IniEncoding DetectIniEncoding(const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return kIniUtf8Bom;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) return kIniUtf16Le;
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return kIniUtf16Be;
    return kIniAnsi;
}

std::string IniBytesToText(const std::string& bytes, IniEncoding* encoding)
{
    const IniEncoding found = DetectIniEncoding(bytes);
    if (encoding) *encoding = found;
    if (found == kIniAnsi) return bytes;
    const std::u16string units = FileUnits(bytes, found);
    return WideToAnsi(std::wstring(units.begin(), units.end()));
}

std::string IniBytesToUtf8(const std::string& bytes, IniEncoding encoding)
{
    if (encoding == kIniAnsi) return bytes;
    return Utf16ToUtf8(FileUnits(bytes, encoding));
}

std::string Utf8ToIniBytes(const std::string& utf8, IniEncoding encoding)
{
    switch (encoding) {
    case kIniAnsi:
        return utf8;
    case kIniUtf8Bom:
        return "\xEF\xBB\xBF" + WellFormedUtf8(utf8);
    case kIniUtf16Le:
    case kIniUtf16Be: {
        std::string out = encoding == kIniUtf16Le ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t unit : Utf8ToUtf16(utf8)) {
            const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
            out += encoding == kIniUtf16Le ? low : high;
            out += encoding == kIniUtf16Le ? high : low;
        }
        return out;
    }
    }
    return utf8;
}

bool ParseIniText(const std::string& text, pt::ptree& tree, IniError* error)
{
    pt::ptree local;
    pt::ptree* section = nullptr;
    bool sectionIsNew = false;  // opened by its header, not a return to an earlier one
    const size_t stop = std::min(text.find('\x1A'), text.size());
    unsigned long number = 0;
    size_t at = 0;
    while (at < stop) {
        ++number;
        size_t end = text.find('\n', at);
        if (end == std::string::npos || end > stop) end = stop;
        const IniLine line = ClassifyLine(text.substr(at, end - at));
        at = end + 1;
        switch (line.kind) {
        case IniLine::kBlank:
        case IniLine::kComment:
            break;
        case IniLine::kBad:
            if (error) {
                error->line = number;
                error->reason = line.reason;
            }
            return false;
        case IniLine::kSection: {
            // A section that got no keys is dropped before the next one
            // starts, so sections keep the order of their first keys.
            if (section && sectionIsNew && section->empty()) local.pop_back();
            auto found = local.find(line.name);
            sectionIsNew = found == local.not_found();
            section = sectionIsNew ? &local.push_back(std::make_pair(line.name, pt::ptree()))->second
                                   : &found->second;
            break;
        }
        case IniLine::kKey: {
            pt::ptree& container = section ? *section : local;
            auto found = container.find(line.name);
            if (found == container.not_found())
                container.push_back(std::make_pair(line.name, pt::ptree(line.value)));
            else
                found->second.put_value(line.value);
            break;
        }
        }
    }
    if (section && sectionIsNew && section->empty()) local.pop_back();
    tree.swap(local);
    return true;
}

std::string SetIniValues(const std::string& whole, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values)
{
    // The reader stops at a Ctrl-Z: what follows it is kept but not edited.
    const size_t stop = std::min(whole.find('\x1A'), whole.size());
    const std::string text = whole.substr(0, stop), tail = whole.substr(stop);
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n"
                            : text.find('\n') != std::string::npos ? "\n"
                                                                   : "\r\n";
    std::vector<bool> done(values.size(), false);
    std::string out;
    bool inSection = false, sectionSeen = false;
    size_t sectionEnd = std::string::npos;  // where missing keys go: after the section's last line
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        std::string body = line;
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
        const IniLine read = ClassifyLine(body);
        if (read.kind == IniLine::kSection) {
            inSection = read.name == section;
            sectionSeen = sectionSeen || inSection;
            if (inSection) sectionEnd = out.size() + line.size();
        } else if (inSection) {
            if (read.kind == IniLine::kKey) {
                for (size_t i = 0; i < values.size(); ++i) {
                    if (read.name != values[i].first) continue;
                    line = values[i].first + "=" + values[i].second + line.substr(body.size());
                    done[i] = true;
                    break;
                }
            }
            if (read.kind != IniLine::kBlank) sectionEnd = out.size() + line.size();
        }
        out += line;
        at = end;
    }
    std::string missing;
    for (size_t i = 0; i < values.size(); ++i)
        if (!done[i]) missing += values[i].first + "=" + values[i].second + eol;
    if (missing.empty()) return out + tail;
    if (!sectionSeen) {
        if (!out.empty() && out.back() != '\n') out += eol;
        return out + "[" + section + "]" + eol + missing + tail;
    }
    // The section's last line may lack its line end at the end of the file.
    if (sectionEnd > 0 && out[sectionEnd - 1] != '\n') {
        out.insert(sectionEnd, eol);
        sectionEnd += eol.size();
    }
    out.insert(sectionEnd, missing);
    return out + tail;
}
