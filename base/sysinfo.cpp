#include "base/sysinfo.h"

namespace {
SystemInfo g_processRecord = {};
SystemInfo* g_record = nullptr;
}  // namespace

SystemInfo& CurrentSystemInfo()
{
    return g_record ? *g_record : g_processRecord;
}

SystemInfo* UseSystemInfo(SystemInfo* record)
{
    SystemInfo* previous = g_record;
    g_record = record;
    return previous;
}
