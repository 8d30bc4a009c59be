#include "base/console.h"

#include <stdarg.h>

#include <atomic>
#include <string>

namespace {
std::atomic<FILE*> g_stream{nullptr};
}

void SetConsoleStream(FILE* stream)
{
    g_stream = stream;
}

void ConsolePrint(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        vsnprintf(&text[0], text.size(), format, again);
        FILE* stream = g_stream.load();
        if (!stream) stream = stdout;
        fwrite(text.data(), 1, static_cast<size_t>(length), stream);
        fflush(stream);
    }
    va_end(again);
}
