#pragma once
// Process-wide facts about the workstation, filled by the operating-system
// probe at start-up and read everywhere else.

// Flags are 0 or 1.
struct SystemInfo {
    int windows2000;
    int windowsXP;
    int server2003;
    int windowsVista;
    int server2008;
    int windows7;
    int windows8;
    int server2012;
    int serverEdition;
    int unknownOS;
    int englishUI;
    int simplifiedChineseUI;
    int traditionalChineseUI;
    char architecture[8];  // "X86" or "X64"
};

// The record in use: this thread's own when it has one (a check run works on
// a copy it took when it started), else the application object's once it
// has registered its own, otherwise a process-wide record that starts zeroed
// (programs and tests without an application object fill that one).
SystemInfo& CurrentSystemInfo();

// Makes `record` the one in use on the calling thread for the scope's life.
class ThreadSystemInfo {
public:
    explicit ThreadSystemInfo(SystemInfo& record);
    ~ThreadSystemInfo();
    ThreadSystemInfo(const ThreadSystemInfo&) = delete;
    ThreadSystemInfo& operator=(const ThreadSystemInfo&) = delete;

private:
    SystemInfo* m_previous;
};

// Makes `record` the one in use (nullptr: the process-wide record again) and
// returns the one used before, so that the caller can put it back.
SystemInfo* UseSystemInfo(SystemInfo* record);

// True when the check rows and messages are to be in English.
inline bool EnglishUI()
{
    return CurrentSystemInfo().englishUI != 0;
}
