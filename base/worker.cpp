#include "base/worker.h"

#include <windows.h>

#include <process.h>

bool StartWorker(WorkerEntry entry, void* argument)
{
    uintptr_t thread = _beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
    if (!thread) return false;
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}
