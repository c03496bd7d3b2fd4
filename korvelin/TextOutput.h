#ifndef KORVELIN_TEXTOUTPUT_H
#define KORVELIN_TEXTOUTPUT_H

#include <stdio.h> // before <windows.h>: keeps the system runtime's printf family

// Prints like fprintf, text in the system code page. A file or a pipe gets exactly the
// bytes fprintf writes, which scripts read. A console is handed the characters: it
// would read the bytes in its own output code page (437 or 850 where the system's is
// 1252) and show "gef³llt.txt" for "gefüllt.txt", or garble a localised system text.
// The console's code page is left alone; it belongs to the shell too.
void printText(FILE* stream, const char* format, ...)
#if defined(__clang__)
    // Clang knows no ms_printf; the conversions used here read the same in both.
    __attribute__((format(printf, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(ms_printf, 2, 3)))
#endif
    ;

#endif
