#include "base/msgbox.h"

#include "base/textconv.h"

#include <mutex>

namespace {
std::mutex g_recorderLock;
std::function<int(const MessageBoxCall&)> g_recorder;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    std::function<int(const MessageBoxCall&)> recorder;
    {
        std::lock_guard<std::mutex> guard(g_recorderLock);
        recorder = g_recorder;
    }
    if (recorder) return recorder(MessageBoxCall{owner, text, caption, type});
    return MessageBoxW(owner, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(), type);
}

void SetMessageBoxRecorder(std::function<int(const MessageBoxCall&)> recorder)
{
    std::lock_guard<std::mutex> guard(g_recorderLock);
    g_recorder = std::move(recorder);
}
