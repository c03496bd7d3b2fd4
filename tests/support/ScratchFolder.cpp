#include "ScratchFolder.h"

#include "ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {

// Files are made, read and removed through \\?\ and the wide calls, which reach full
// paths past the classic limit of 260 characters on Windows as well as under Wine.
std::wstring extendedPath(const std::string& path)
{
    return L"\\\\?\\" + widen(path);
}

// The user's temporary folder, with its separator, in the system code page: the
// programs under test take narrow names. Where the code page cannot hold it (a user
// name in another script) its short name can.
std::string temporaryFolder()
{
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length > 0 && length <= MAX_PATH && !heldByCodePage(folder))
        length = GetShortPathNameW(folder, folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH || !heldByCodePage(folder))
        throw std::runtime_error("no temporary folder that the system code page can name");
    return narrow(folder);
}

// Pairs an open file with its release.
class FileHandle {
  public:
    FileHandle(const std::string& path, DWORD access, DWORD disposition)
        : m_file(CreateFileW(extendedPath(path).c_str(), access,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~FileHandle()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE get() const { return m_file; }

  private:
    HANDLE m_file;
};

void removeTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void collect(const ScratchFolder& folder, const std::string& relative,
             std::vector<std::string>& entries)
{
    WIN32_FIND_DATAW entry;
    const std::string base = relative.empty() ? folder.path() : folder.pathOf(relative);
    HANDLE search = FindFirstFileW((extendedPath(base) + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = narrow(entry.cFileName);
        if (name == "." || name == "..")
            continue;
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries.push_back(child + "\\");
            collect(folder, child, entries);
        } else {
            entries.push_back(child + " = " + folder.readFile(child));
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

} // namespace

ScratchFolder::ScratchFolder()
{
    const std::string temporary = temporaryFolder();
    static unsigned counter = 0;
    for (;;) {
        std::ostringstream name;
        name << temporary << "korvelin-test-" << GetCurrentProcessId() << "-" << ++counter;
        m_path = name.str();
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create " + m_path);
    }
}

ScratchFolder::~ScratchFolder()
{
    removeTree(extendedPath(m_path));
}

std::string ScratchFolder::pathOf(const std::string& name) const
{
    return m_path + "\\" + name;
}

void ScratchFolder::writeFile(const std::string& name, const std::string& content) const
{
    FileHandle file(pathOf(name), GENERIC_WRITE, CREATE_ALWAYS);
    DWORD written = 0;
    if (file.get() == INVALID_HANDLE_VALUE ||
        !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) ||
        written != content.size())
        throw std::runtime_error("cannot write " + pathOf(name));
}

std::string ScratchFolder::readFile(const std::string& name) const
{
    // A file that cannot be opened reads as empty.
    FileHandle file(pathOf(name), GENERIC_READ, OPEN_EXISTING);
    std::string content;
    char chunk[4096];
    DWORD count = 0;
    while (file.get() != INVALID_HANDLE_VALUE &&
           ReadFile(file.get(), chunk, sizeof chunk, &count, nullptr) && count > 0)
        content.append(chunk, count);
    return content;
}

void ScratchFolder::makeFolder(const std::string& name) const
{
    if (!CreateDirectoryW(extendedPath(pathOf(name)).c_str(), nullptr))
        throw std::runtime_error("cannot create " + pathOf(name));
}

std::vector<std::string> ScratchFolder::snapshot() const
{
    std::vector<std::string> entries;
    collect(*this, "", entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}
