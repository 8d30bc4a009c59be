#pragma once
// The few lines the program's parts write for whoever runs it from a
// console: the installer's command line, the name resolver's listing, a
// folder the log could not make. No library prints them itself: they go
// through here, to the stream the program's entry point chose (standard
// output unless it chose another), so a console tool can keep its standard
// output for its report alone.
#include <stdio.h>

// The stream the lines go to from now on; nullptr means standard output.
// Set by an entry point before its workers start.
void SetConsoleStream(FILE* stream);

// Formats the text and writes it in one piece, flushed, so that lines from
// several threads do not tear. Texts are narrow (active code page) and
// written as they are formatted.
void ConsolePrint(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
