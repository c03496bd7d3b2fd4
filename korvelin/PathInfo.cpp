#include "PathInfo.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static_assert(MaxPathLength == MAX_PATH, "a full path must fit the platform's limit");

namespace {

const char PathSeparator = '\\';
const char ExtensionSeparator = '.';

// The last place in text where the character wanted stands, or null. Walks whole
// characters: in a double-byte system code page (932, 936, 949, 950) the byte of a
// backslash is also the second half of many characters, such as the katakana "so".
char* lastCharacter(char* text, char wanted)
{
    char* found = nullptr;
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == wanted)
            found = c;
        else if (IsDBCSLeadByte(static_cast<BYTE>(*c)) && c[1] != '\0')
            ++c;
    }
    return found;
}

// Heap copy of text[0, end), made by cutting the string at end for a moment.
char* copyUpTo(char* text, char* end)
{
    const char saved = *end;
    *end = '\0';
    char* copy = _strdup(text);
    *end = saved;
    return copy;
}

} // namespace

PathInfo::PathInfo(const char* name)
    : m_exists(false), m_isFile(true), m_drive(0), m_fullPath(), m_extension(nullptr),
      m_baseName(nullptr), m_filePart(nullptr), m_directory(nullptr), m_lookupError(ERROR_SUCCESS)
{
    const DWORD length = GetFullPathNameA(name, MaxPathLength, m_fullPath, &m_filePart);
    if (length == 0 || length >= MaxPathLength) {
        // An empty name, or a full path too long for the buffer: nothing usable was
        // written. Describe an empty path that does not exist. A long name may well
        // name a file (Windows reaches long paths, and \\?\ names): its existence
        // is unknown, not false.
        m_lookupError = name[0] == '\0' ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE;
        m_fullPath[0] = '\0';
        m_filePart = nullptr;
        m_baseName = _strdup("");
        m_directory = _strdup("");
        return;
    }

    const DWORD attributes = GetFileAttributesA(m_fullPath);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        m_exists = true;
        m_isFile = (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    } else {
        m_lookupError = GetLastError();
    }

    // Through unsigned char: a byte of 0x80 or more is negative as a plain char.
    m_drive = static_cast<char>(toupper(static_cast<unsigned char>(m_fullPath[0])));

    if (m_filePart != nullptr) {
        char* dot = lastCharacter(m_filePart, ExtensionSeparator);
        if (dot != nullptr) {
            m_baseName = copyUpTo(m_filePart, dot);
            m_extension = dot + 1;
        } else {
            m_baseName = _strdup(m_filePart);
        }
    } else {
        m_baseName = _strdup("");
    }

    char* separator = lastCharacter(m_fullPath, PathSeparator);
    m_directory = separator != nullptr ? copyUpTo(m_fullPath, separator) : _strdup("");
}

bool PathInfo::isMissing() const
{
    // Any other failure (access denied, a sharing violation, a device not ready, a
    // share out of reach) leaves the file possibly there.
    return m_lookupError == ERROR_FILE_NOT_FOUND || m_lookupError == ERROR_PATH_NOT_FOUND ||
           m_lookupError == ERROR_INVALID_NAME;
}

PathInfo::~PathInfo()
{
    if (m_baseName != nullptr)
        free(m_baseName);
    free(m_directory);
}
