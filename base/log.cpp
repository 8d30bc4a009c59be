#include "base/log.h"

#include "base/console.h"
#include "base/paths.h"

#include <direct.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <memory>
#include <string>

namespace {

const size_t kLineBufferSize = 102400;
const size_t kLogPathSize = 300;
const size_t kDirBufferSize = 256;

bool LocalTimeText(const char* format, char* out, size_t size)
{
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_s(&local, &now) != 0) return false;
    return strftime(out, size, format, &local) != 0;
}

bool BuildLogFolder(char* out, size_t size)
{
    std::string data = DataFolderNarrow();
    int n = snprintf(out, size, "%s%s", data.c_str(), "logs");
    return n >= 0 && static_cast<size_t>(n) < size;
}

} // namespace

bool BuildLogFilePath(char* out, unsigned size)
{
    char folder[kLogPathSize];
    char date[16];
    if (!BuildLogFolder(folder, sizeof folder)) return false;
    if (!LocalTimeText("%Y%m%d", date, sizeof date)) return false;
    int n = snprintf(out, size, "%s\\%s_%s%s", folder, kLogFilePrefix, date, ".log");
    return n >= 0 && static_cast<unsigned>(n) < size;
}

bool WriteLog(const char* format, ...)
{
    char stamp[32] = "";
    LocalTimeText("%Y/%m/%d %H:%M:%S", stamp, sizeof stamp);

    std::unique_ptr<char[]> line(new char[kLineBufferSize]);
    int head = snprintf(line.get(), kLineBufferSize, "%s\t", stamp);

    va_list args;
    va_start(args, format);
    int n = vsnprintf(line.get() + head, kLineBufferSize - head, format, args);
    va_end(args);

    size_t length;
    if (n < 0 || static_cast<size_t>(n) > 102397 - static_cast<size_t>(head)) {
        length = static_cast<size_t>(snprintf(line.get(), kLineBufferSize, "%s\t-- * --\n", stamp));
    } else {
        length = static_cast<size_t>(head + n);
        if (length < 102398) line[length++] = '\n';
    }

    char folder[kLogPathSize];
    if (!BuildLogFolder(folder, sizeof folder) || !MakeDirectories(folder)) return false;
    char path[kLogPathSize];
    if (!BuildLogFilePath(path, sizeof path)) return false;

    FILE* file = fopen(path, "ab");
    if (!file) return false;
    bool written = fwrite(line.get(), 1, length, file) == length;
    fclose(file);
    return written;
}

bool MakeDirectories(const char* path)
{
    if (!path) return false;
    size_t length = strlen(path);
    // Room for the appended backslash and the terminator.
    if (length + 2 > kDirBufferSize) return false;

    char buffer[kDirBufferSize];
    memcpy(buffer, path, length + 1);
    if (length == 0 || buffer[length - 1] != '\\') {
        buffer[length] = '\\';
        buffer[length + 1] = '\0';
    }

    for (char* p = buffer + 1; *p; ++p) {
        if (*p != '\\') continue;
        *p = '\0';
        // Another thread may create the same folder in between: only a
        // folder that is still missing counts as a failure.
        if (_access(buffer, 0) != 0 && _mkdir(buffer) != 0 && _access(buffer, 0) != 0) {
            // Not to the log: the log itself needs this folder.
            ConsolePrint("[error]mkdir error\r\n");
            *p = '\\';
            return false;
        }
        *p = '\\';
    }
    return _access(path, 0) == 0;
}
