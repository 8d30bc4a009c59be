#include "report.h"

#include "text.h"

#include <Poco/Dynamic/Var.h>
#include <Poco/Exception.h>
#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>

namespace collector {
namespace {

const std::size_t kMaxRows = 64;
const std::size_t kMaxTitle = 200;
const std::size_t kMaxDescription = 2000;
const std::size_t kMaxFigure = 64;

struct Bad {
    std::string what;
};

std::string ReadText(const Poco::Dynamic::Var& value, const std::string& where, std::size_t limit)
{
    if (!value.isString()) throw Bad{where + " is not a string"};
    const std::string text = value.extract<std::string>();
    if (text.size() > limit) throw Bad{where + " is longer than " + std::to_string(limit) + " bytes"};
    if (!IsUtf8(text) || HasControl(text, false)) throw Bad{where + " is not UTF-8 text without control characters"};
    return text;
}

int ReadInteger(const Poco::JSON::Object& row, const std::string& key, const std::string& where)
{
    const Poco::Dynamic::Var value = row.get(key);
    if (value.isEmpty() || !value.isInteger()) throw Bad{where + " has no integer \"" + key + "\""};
    return value.convert<int>();
}

std::vector<ReportRow> ReadRows(const Poco::Dynamic::Var& value, const std::string& where)
{
    if (value.type() != typeid(Poco::JSON::Array::Ptr)) throw Bad{where + " is not an array of rows"};
    const Poco::JSON::Array::Ptr array = value.extract<Poco::JSON::Array::Ptr>();
    if (array->size() > kMaxRows) throw Bad{where + " has more than " + std::to_string(kMaxRows) + " rows"};
    std::vector<ReportRow> rows;
    for (std::size_t i = 0; i < array->size(); ++i) {
        const std::string at = where + " row " + std::to_string(i);
        const Poco::JSON::Object::Ptr object = array->getObject(static_cast<unsigned>(i));
        if (!object) throw Bad{at + " is not an object"};
        ReportRow row;
        row.kind = ReadInteger(*object, "kind", at);
        row.state = ReadInteger(*object, "state", at);
        if (row.state != kPassed && row.state != kFailed && row.state != kWarning)
            throw Bad{at + " has state " + std::to_string(row.state) + " (1, 2 or 3 expected)"};
        row.title = ReadText(object->get("title"), at + " title", kMaxTitle);
        if (object->has("description"))
            row.description = ReadText(object->get("description"), at + " description", kMaxDescription);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string ReadFigure(const Poco::JSON::Object& object, const std::string& key)
{
    const Poco::Dynamic::Var value = object.get(key);
    if (value.isEmpty()) return std::string(); // absent or null: no figure
    return ReadText(value, "\"" + key + "\"", kMaxFigure);
}

} // namespace

const char* SourceName(ReportSource source)
{
    switch (source) {
    case ReportSource::Repair: return "repair";
    case ReportSource::Desktop: return "desktop";
    default: return "check";
    }
}

bool ReportSummary::Ready() const
{
    if (rows.size() != static_cast<std::size_t>(kRowsOfFullCheck)) return false;
    for (const ReportRow& row : rows)
        if (row.state == kFailed) return false;
    return true;
}

std::vector<std::string> ReportSummary::FailedTitles() const
{
    std::vector<std::string> titles;
    for (const ReportRow& row : rows)
        if (row.state == kFailed) titles.push_back(row.title);
    return titles;
}

bool ReadReport(const std::string& json, ReportSummary& summary, std::string& error)
{
    summary = ReportSummary();
    Poco::Dynamic::Var root;
    try {
        Poco::JSON::Parser parser;
        root = parser.parse(json);
    } catch (const Poco::Exception& e) {
        error = "the report is not JSON: " + e.message();
        return false;
    }
    try {
        if (root.type() == typeid(Poco::JSON::Array::Ptr)) {
            summary.source = ReportSource::Check;
            summary.rows = ReadRows(root, "the report");
        } else if (root.type() == typeid(Poco::JSON::Object::Ptr)) {
            const Poco::JSON::Object::Ptr object = root.extract<Poco::JSON::Object::Ptr>();
            if (object->has("after")) {
                summary.source = ReportSource::Repair;
                summary.rows = ReadRows(object->get("after"), "\"after\"");
            } else if (object->has("rows")) {
                summary.source = ReportSource::Desktop;
                summary.rows = ReadRows(object->get("rows"), "\"rows\"");
                summary.download = ReadFigure(*object, "download");
                summary.upload = ReadFigure(*object, "upload");
            } else {
                throw Bad{"the report object has neither \"after\" (a repair) nor \"rows\" (the desktop program)"};
            }
        } else {
            throw Bad{"the report is neither an array of rows nor an object"};
        }
    } catch (const Bad& bad) {
        error = bad.what;
        return false;
    } catch (const Poco::Exception& e) {
        error = "the report cannot be read: " + e.message();
        return false;
    }
    return true;
}

} // namespace collector
