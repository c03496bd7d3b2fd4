#ifndef KORVELIN_TESTS_SCRATCHFOLDER_H
#define KORVELIN_TESTS_SCRATCHFOLDER_H

#include <string>
#include <vector>

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

    // Every entry below the folder with its kind and content, in a stable order:
    // two snapshots are equal exactly when nothing was added, removed or changed.
    std::vector<std::string> snapshot() const;

  private:
    std::string m_path;
};

#endif
