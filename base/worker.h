#pragma once
// Worker threads: started, their handles closed at once. A worker reports
// only through window messages, so nobody waits for it or joins it.

using WorkerEntry = unsigned(__stdcall*)(void* argument);

// Runs entry(argument) on a new thread. False when no thread could be
// started; the caller then still owns `argument` and must end its run.
bool StartWorker(WorkerEntry entry, void* argument);
