// The product's log writes into the data folder through Windows calls; the
// native fuzz build only needs the format strings to be exercised.
#include "base/log.h"

#include <stdarg.h>
#include <stdio.h>

bool WriteLog(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return true;
}
