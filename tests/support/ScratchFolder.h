#ifndef KORVELIN_TESTS_SCRATCHFOLDER_H
#define KORVELIN_TESTS_SCRATCHFOLDER_H

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

// The user's temporary folder, with its separator, in the system code page: the
// programs under test take narrow names. Empty when the code page can name neither it
// nor its short name; *why then says so, and what to do, in one line.
std::string temporaryFolder(std::string* why = nullptr);

// A fresh, empty folder in the user's temporary folder, removed with all it holds
// when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Absolute path of the folder, without a trailing separator.
    const std::string& path() const { return m_path; }
    // Absolute path of a name inside the folder.
    std::string pathOf(const std::string& name) const;

    void writeFile(const std::string& name, const std::string& content) const;
    std::string readFile(const std::string& name) const;
    void makeFolder(const std::string& name) const;
    // What the system says of a file: its volume and index (the same for all its
    // names) and its number of names. Fails the test when it cannot be opened.
    BY_HANDLE_FILE_INFORMATION fileInformation(const std::string& name) const;

    // Adds an entry to the folder's access list that denies the current user adding
    // files or folders to it. Windows enforces it; Wine does not.
    void denyAddingEntries() const;

    // Every entry below the folder with its kind and content, in a stable order:
    // two snapshots are equal exactly when nothing was added, removed or changed.
    std::vector<std::string> snapshot() const;

  private:
    std::string m_path;
};

// Runs a test with the process's current directory in a given folder.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::string& path);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    std::filesystem::path m_saved;
};

#endif
