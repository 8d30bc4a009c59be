#pragma once
// Daily log file and folder creation.

// Appends one time-stamped line to the day's log file in the data folder's
// "logs" folder. printf-style; texts are narrow (active code page).
bool WriteLog(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

// Creates the folder and every missing parent. True when the folder exists
// afterwards; false (nothing created) for paths that do not fit the buffer.
bool MakeDirectories(const char* path);

// Full path of today's log file ("" when it does not fit the path buffer).
// Shared with the tests, which read the file back.
const char* const kLogFilePrefix = "Pylonix";
bool BuildLogFilePath(char* out, unsigned size);
