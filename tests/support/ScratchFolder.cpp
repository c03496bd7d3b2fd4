#include "ScratchFolder.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

void removeTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void collect(const ScratchFolder& folder, const std::string& relative,
             std::vector<std::string>& entries)
{
    WIN32_FIND_DATAA entry;
    const std::string base = relative.empty() ? folder.path() : folder.pathOf(relative);
    HANDLE search = FindFirstFileA((base + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries.push_back(child + "\\");
            collect(folder, child, entries);
        } else {
            entries.push_back(child + " = " + folder.readFile(child));
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

} // namespace

ScratchFolder::ScratchFolder()
{
    char current[MAX_PATH];
    if (GetCurrentDirectoryA(MAX_PATH, current) == 0)
        throw std::runtime_error("GetCurrentDirectory failed");
    static unsigned counter = 0;
    for (;;) {
        std::ostringstream name;
        name << current << "\\scratch-" << GetCurrentProcessId() << "-" << ++counter;
        m_path = name.str();
        if (CreateDirectoryA(m_path.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create " + m_path);
    }
}

ScratchFolder::~ScratchFolder()
{
    removeTree(m_path);
}

std::string ScratchFolder::pathOf(const std::string& name) const
{
    return m_path + "\\" + name;
}

void ScratchFolder::writeFile(const std::string& name, const std::string& content) const
{
    std::ofstream file(pathOf(name), std::ios::binary);
    file << content;
    if (!file)
        throw std::runtime_error("cannot write " + pathOf(name));
}

std::string ScratchFolder::readFile(const std::string& name) const
{
    std::ifstream file(pathOf(name), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void ScratchFolder::makeFolder(const std::string& name) const
{
    if (!CreateDirectoryA(pathOf(name).c_str(), nullptr))
        throw std::runtime_error("cannot create " + pathOf(name));
}

std::vector<std::string> ScratchFolder::snapshot() const
{
    std::vector<std::string> entries;
    collect(*this, "", entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}
