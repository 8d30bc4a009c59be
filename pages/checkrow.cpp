#include "pages/checkrow.h"

#include <windows.h>

#include <initializer_list>

namespace {

const char kHeadFormat[] =
    "<item><img\t\tid\t= \"%d\"\t\t\tpos=\"%s\"\t\t\tskin=\"%s\"\t\t/>"
    "<text\t\tpos=\"%s\"\t\t\tcrtext=\"%s\"\t\tfont=\"%s\">%s</text>"
    "<text\t\tpos=\"%s\"\t\t\tcrtext=\"%s\"\t\tfont=\"%s\">%s</text>"
    "<text\t\tpos=\"%s\"\t\t\tcrtext=\"%s\"\t\tfont=\"%s\">%s</text>";
const char kActionFormat[] =
    "<myimgbtn\tid=\"%d\"\tpos=\"%s\"\tname=\"%s\"\t\tskin=\"%s\"\tanimate=\"0\"/>"
    "<text\t\t\t\tid=\"%d\"\tpos=\"%s\"\tcrtext=\"%s\"\t\tfont=\"%s\"></text>";
const char kProgressFormat[] =
    "<progress id=\"%d\" pos=\"%s\" bgskin=\"%s\" posskin=\"%s\"  value=\"0\" min=\"0\" max=\"100\"/>";
const char kTailFormat[] = "<img\t\tpos=\"%s\"\t\t\tskin=\"%s\"\t\t/></item>";

const char kRepairSkin[] = "skin_item_repair";
const char kWatchSkin[] = "skin_item_watch";
const char kTextColour[] = "767273";
const char kTextFont[] = "0202";

// Appends `format` with each %d or %s replaced by the next value, escaped:
// the records' texts come from the workstation and may hold anything.
void AppendFormatted(std::string& out, const char* format, std::initializer_list<std::string> values)
{
    auto value = values.begin();
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && (p[1] == 'd' || p[1] == 's') && value != values.end()) {
            out += EscapeRowText(*value++);
            ++p;
        } else {
            out += *p;
        }
    }
}

} // namespace

int RowControlId(int kind, int slot)
{
    if (kind < 1 || kind > 10 || kind == 9) return -1;
    return 10000 + 100 * kind + slot;
}

const char* StateIconSkin(int state)
{
    switch (state) {
    case kStateFailed: return "skin_check_wrong";
    case kStateWarning: return "skin_check_warning";
    default: return "skin_check_right";
    }
}

const char* ActionSkin(int state)
{
    switch (state) {
    case kStateFailed: return kRepairSkin;
    case kStateWarning: return kWatchSkin;
    default: return "";
    }
}

std::string EscapeRowText(const std::string& text)
{
    std::string out;
    const size_t length = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c))) {
            // Trail bytes of every double-byte code page lie at 0x40 and above,
            // so a lead byte before a smaller byte or the end is broken.
            if (i + 1 < length && static_cast<unsigned char>(text[i + 1]) >= 0x40) {
                out += c;
                out += text[++i];
            } else {
                out += '?';
            }
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string BuildCheckRowMarkup(const CheckItem& item)
{
    std::string markup;
    AppendFormatted(markup, kHeadFormat,
                    {std::to_string(RowControlId(item.kind, kSlotStateIcon)), "15,15,35,35",
                     StateIconSkin(item.state),
                     "40,20", kTextColour, kTextFont, item.title,
                     "160,20", kTextColour, kTextFont, item.description,
                     "|100,20", kTextColour, kTextFont, item.optimal});

    const std::string action = ActionSkin(item.state);
    const int buttonId = RowControlId(item.kind, kSlotActionButton);
    if (!action.empty() && buttonId != -1) {
        AppendFormatted(markup, kActionFormat,
                        {std::to_string(buttonId), "-150,10", action, action,
                         std::to_string(RowControlId(item.kind, kSlotStatusText)), "-130,40", kTextColour,
                         kTextFont});
        if (action == kRepairSkin)
            AppendFormatted(markup, kProgressFormat,
                            {std::to_string(RowControlId(item.kind, kSlotProgressBar)), "-160,20,-60,30",
                             "prog_bg", "prog_bar"});
    }

    AppendFormatted(markup, kTailFormat, {"0,58,-0,59", "skin_split_horz"});
    return markup;
}
