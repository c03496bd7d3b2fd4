#include "ScratchFolder.h"

#include "CodePage.h"
#include "Owned.h"
#include "SystemErrorText.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

// Files are made, read and removed through \\?\ and the wide calls, which reach full
// paths past the classic limit of 260 characters on Windows as well as under Wine.
std::wstring extendedPath(const std::string& path)
{
    return L"\\\\?\\" + widen(path);
}

OwnedHandle openFile(const std::string& path, DWORD access, DWORD disposition)
{
    return OwnedHandle(nullIfInvalid(CreateFileW(
        extendedPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

// Calls visit(name relative to root, is a folder) for every entry below root, the
// entries of a folder before the folder itself.
void walk(const std::wstring& root, const std::wstring& relative,
          const std::function<void(const std::wstring&, bool)>& visit)
{
    WIN32_FIND_DATAW entry;
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    OwnedSearch search(nullIfInvalid(FindFirstFileW((folder + L"\\*").c_str(), &entry)));
    if (!search)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder)
            walk(root, child, visit);
        visit(child, isFolder);
    } while (FindNextFileW(search.get(), &entry));
}

} // namespace

std::string temporaryFolder(std::string* why)
{
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length > 0 && length <= MAX_PATH && !heldByCodePage(folder))
        length = GetShortPathNameW(folder, folder, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH && heldByCodePage(folder))
        return narrow(folder);
    if (why != nullptr)
        *why = "the temporary folder " + narrow(folder) + " has no name in the system code page (" +
               std::to_string(GetACP()) +
               ") and no short name that it holds: set TEMP and TMP to a folder whose name it "
               "holds, for example C:\\Temp, and run the tests again";
    return std::string();
}

ScratchFolder::ScratchFolder()
{
    std::string why;
    const std::string temporary = temporaryFolder(&why);
    if (temporary.empty())
        throw std::runtime_error(why);
    static unsigned counter = 0;
    for (;;) {
        m_path = temporary + "korvelin-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++counter);
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            failWithLastError("creating " + m_path);
    }
}

ScratchFolder::~ScratchFolder()
{
    const std::wstring root = extendedPath(m_path);
    walk(root, L"", [&root](const std::wstring& name, bool isFolder) {
        const std::wstring path = root + L"\\" + name;
        if (isFolder) {
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    });
    RemoveDirectoryW(root.c_str());
}

std::string ScratchFolder::pathOf(const std::string& name) const
{
    return m_path + "\\" + name;
}

void ScratchFolder::writeFile(const std::string& name, const std::string& content) const
{
    const OwnedHandle file = openFile(pathOf(name), GENERIC_WRITE, CREATE_ALWAYS);
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) ||
        written != content.size())
        failWithLastError("writing " + pathOf(name));
}

std::string ScratchFolder::readFile(const std::string& name) const
{
    // A file that cannot be opened reads as empty.
    const OwnedHandle file = openFile(pathOf(name), GENERIC_READ, OPEN_EXISTING);
    std::string content;
    char chunk[4096];
    DWORD count = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &count, nullptr) && count > 0)
        content.append(chunk, count);
    return content;
}

void ScratchFolder::makeFolder(const std::string& name) const
{
    if (!CreateDirectoryW(extendedPath(pathOf(name)).c_str(), nullptr))
        failWithLastError("creating " + pathOf(name));
}

BY_HANDLE_FILE_INFORMATION ScratchFolder::fileInformation(const std::string& name) const
{
    BY_HANDLE_FILE_INFORMATION information = {};
    const OwnedHandle file = openFile(pathOf(name), 0, OPEN_EXISTING);
    if (!file || !GetFileInformationByHandle(file.get(), &information))
        failWithLastError("reading the file information of " + pathOf(name));
    return information;
}

std::vector<std::string> ScratchFolder::snapshot() const
{
    std::vector<std::string> entries;
    walk(extendedPath(m_path), L"", [this, &entries](const std::wstring& wide, bool isFolder) {
        const std::string name = narrow(wide);
        entries.push_back(isFolder ? name + "\\" : name + " = " + readFile(name));
    });
    std::sort(entries.begin(), entries.end());
    return entries;
}
