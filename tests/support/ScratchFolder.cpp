#include "ScratchFolder.h"

#include "System.h"

#include <aclapi.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

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
    // A file left read-only by a test would stop the removal. Nothing here may throw.
    std::error_code ignored;
    const std::filesystem::path root = extendedPath(m_path);
    for (std::filesystem::recursive_directory_iterator entry(root, ignored), end; entry != end;
         entry.increment(ignored))
        SetFileAttributesW(entry->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(root, ignored);
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
    return readToEnd(openFile(pathOf(name), GENERIC_READ, OPEN_EXISTING).get());
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

void ScratchFolder::denyAddingEntries() const
{
    EXPLICIT_ACCESSW deny = {};
    deny.grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    wchar_t currentUser[] = L"CURRENT_USER";
    BuildTrusteeWithNameW(&deny.Trustee, currentUser);
    std::wstring path = widen(m_path);
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &current, nullptr, &descriptor);
    const Owned<PSECURITY_DESCRIPTOR, LocalFree> ownedDescriptor(descriptor);
    PACL changed = nullptr;
    if (result == ERROR_SUCCESS)
        result = SetEntriesInAclW(1, &deny, current, &changed);
    const Owned<PACL, LocalFree> ownedChanged(changed);
    if (result == ERROR_SUCCESS)
        result = SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, changed, nullptr);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        failWithLastError("denying the current user to add entries to " + m_path);
    }
}

std::vector<std::string> ScratchFolder::snapshot() const
{
    std::vector<std::string> entries;
    const std::filesystem::path root = extendedPath(m_path);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = narrow(entry.path().lexically_relative(root).wstring());
        entries.push_back(entry.is_directory() ? name + "\\" : name + " = " + readFile(name));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

CurrentDirectory::CurrentDirectory(const std::string& path)
    : m_saved(std::filesystem::current_path())
{
    std::filesystem::current_path(widen(path));
}

CurrentDirectory::~CurrentDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(m_saved, ignored);
}
