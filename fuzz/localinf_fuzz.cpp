// Arbitrary bytes as local.inf, the component list the server hands out:
// read like local.ini, then turned into the component table. Every entry
// must come from a numbered name of the list, numbered from 001 without a
// gap, and the numbered versions must read as four numbers at most.
#include "settings/config.h"

#include <stdio.h>
#include <stdlib.h>

#include <set>

namespace pt = boost::property_tree;

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    pt::ptree tree;
    if (!ParseIniText(IniBytesToText(bytes), tree, nullptr)) return 0;

    ComponentTable table;
    table["left over"] = ComponentInfo();
    ReadComponentTable(tree, &table);
    Check(table.size() <= 99);

    // The names the list holds before its first empty or missing number.
    std::set<std::string> names;
    for (int i = 1; i <= 99; ++i) {
        char key[64];
        snprintf(key, sizeof key, "thirdparty.thirdparty%03d", i);
        const std::string name = tree.get<std::string>(key, "");
        if (name.empty()) break;
        names.insert(name);
    }
    Check(table.size() == names.size());
    for (const auto& entry : table) {
        Check(names.count(entry.first) == 1);
        Check(entry.second.isregister == 0 || entry.second.isregister == 1);
        Check(entry.second.isDownload == 0 || entry.second.isDownload == 1);
    }
    return 0;
}
