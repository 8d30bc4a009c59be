#include "base/startup.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/sysinfo.h"

#include <stdio.h>
#include <string.h>

#include <string>

void SetUpProcess()
{
    strcpy(CurrentSystemInfo().architecture, "X86");
    SetDataFolder(ComputeDataFolder());
}

bool WriteStartLine(const char* line)
{
    if (WriteLog("%s", line)) return true;
    // Nobody reads a log that is never written: say it once, then go on.
    char path[300] = "";
    BuildLogFilePath(path, sizeof path);
    const std::string text = std::string("日志无法写入:") + path + "\r\n程序将继续运行,但不记录日志。";
    ShowMessageBox(nullptr, text.c_str(), "警告", MB_OK | MB_ICONINFORMATION);
    return false;
}

void SendMessageBoxesToStderr()
{
    SetMessageBoxRecorder([](const MessageBoxCall& call) {
        fprintf(stderr, "%s: %s\n", call.caption.c_str(), call.text.c_str());
        return IDOK;
    });
}
