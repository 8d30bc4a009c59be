#include "base/sysinfo.h"

namespace {
SystemInfo g_processRecord = {};
SystemInfo* g_record = nullptr;
thread_local SystemInfo* t_record = nullptr;
}  // namespace

SystemInfo& CurrentSystemInfo()
{
    if (t_record) return *t_record;
    return g_record ? *g_record : g_processRecord;
}

ThreadSystemInfo::ThreadSystemInfo(SystemInfo& record) : m_previous(t_record)
{
    t_record = &record;
}

ThreadSystemInfo::~ThreadSystemInfo()
{
    t_record = m_previous;
}

SystemInfo* UseSystemInfo(SystemInfo* record)
{
    SystemInfo* previous = g_record;
    g_record = record;
    return previous;
}
