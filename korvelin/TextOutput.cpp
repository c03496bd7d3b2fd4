#include "TextOutput.h"

#include <io.h>
#include <stdarg.h>
#include <stdlib.h>
#include <windows.h>

namespace {

// At most this many characters a write: consoles before Windows 8 refuse a write
// whose text does not fit their 64 KB of shared memory.
const DWORD ConsoleChunk = 8192;

// The handle behind the stream when it may be a console: a character device. Null for
// a file, a pipe, or a stream without a handle. GetConsoleMode cannot tell: it needs
// read access, and a console handle opened for writing alone (2>CON, or CONOUT$ from
// a parent) would be taken for a file and shown in the console's code page. NUL and
// serial ports are character devices too; printText tells them by the first write.
HANDLE consoleCandidate(FILE* stream)
{
    // -2 for a stream without a descriptor (a program started with no standard
    // handles). _get_osfhandle would hand it to the invalid-parameter handler, which
    // ends a program built with the static runtime.
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return nullptr;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the runtime hands the handle back as an integer
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR ? handle
                                                                                   : nullptr;
}

// The formatted text, malloc'd; null when it cannot be made.
char* formatText(const char* format, va_list arguments)
{
    va_list counting;
    va_copy(counting, arguments);
    const int length = _vscprintf(format, counting);
    va_end(counting);
    if (length < 0)
        return nullptr;
    const size_t size = static_cast<size_t>(length) + 1;
    char* text = static_cast<char*>(malloc(size));
    if (text != nullptr)
        _vsnprintf(text, size, format, arguments);
    return text;
}

// The text as UTF-16, each "\n" made "\r\n" as the runtime's text mode would; malloc'd,
// null when it cannot be made. *length receives its length.
wchar_t* consoleCharacters(const char* text, DWORD* length)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    wchar_t* wide = size > 0
                        ? static_cast<wchar_t*>(malloc(static_cast<size_t>(size) * sizeof(wchar_t)))
                        : nullptr;
    if (wide == nullptr)
        return nullptr;
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, size);

    int lineFeeds = 0;
    for (int i = 0; i < size; ++i)
        lineFeeds += wide[i] == L'\n';
    wchar_t* characters =
        static_cast<wchar_t*>(malloc(static_cast<size_t>(size + lineFeeds) * sizeof(wchar_t)));
    if (characters != nullptr) {
        DWORD count = 0;
        for (int i = 0; i < size - 1; ++i) {
            if (wide[i] == L'\n')
                characters[count++] = L'\r';
            characters[count++] = wide[i];
        }
        *length = count;
    }
    free(wide);
    return characters;
}

// Hands the characters to the console. False when the handle took none of them: a
// character device that is no console.
bool writeToConsole(HANDLE console, const wchar_t* text, DWORD length)
{
    bool wroteAny = false;
    while (length > 0) {
        DWORD count = length < ConsoleChunk ? length : ConsoleChunk;
        // Never split a character in two.
        // cppcheck-suppress knownConditionTrueFalse ; count is length when the rest fits one chunk
        if (count < length && IS_HIGH_SURROGATE(text[count - 1]))
            --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, text, count, &written, nullptr) || written == 0)
            return wroteAny;
        wroteAny = true;
        text += written;
        length -= written;
    }
    return true;
}

} // namespace

// NOLINTNEXTLINE(cert-dcl50-cpp): printf's interface by design; the compiler checks each format
void printText(FILE* stream, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const HANDLE console = consoleCandidate(stream);
    if (console == nullptr) {
        vfprintf(stream, format, arguments);
        va_end(arguments);
        return;
    }
    char* text = formatText(format, arguments);
    va_end(arguments);
    if (text == nullptr)
        return;
    DWORD length = 0;
    wchar_t* characters = consoleCharacters(text, &length);
    // Whatever the runtime still holds for this stream goes first.
    fflush(stream);
    // Not a console after all (NUL, a serial port): the bytes, as a file gets them.
    if (characters == nullptr || !writeToConsole(console, characters, length))
        fputs(text, stream);
    free(characters);
    free(text);
}
