#ifndef KORVELIN_PATHINFO_H
#define KORVELIN_PATHINFO_H

// Longest full path, terminator included.
constexpr unsigned MaxPathLength = 260;

// Describes one path name as the user typed it: the resolved full path, whether it
// exists and is a directory, and its drive, directory, base name and extension.
// The constructor does all the work and never fails; a name that cannot be resolved
// leaves an empty record that does not exist.
//
// A record that does not exist is not always a missing file: the lookup also fails
// for a drive that is not ready, a share out of reach or a full path too long to
// look up. isMissing() tells the two apart.
//
// Two fields point into the record's own full path, so records are built in place
// and never copied.
class PathInfo {
  public:
    explicit PathInfo(const char* name);
    virtual ~PathInfo();

    PathInfo(const PathInfo&) = delete;
    PathInfo& operator=(const PathInfo&) = delete;

    bool exists() const { return m_exists; }
    bool isDirectory() const { return !m_isFile; }
    // The system answered that nothing is there: the name, or its folder, is not
    // found, or the text cannot name a file. An empty name names nothing.
    bool isMissing() const;
    // Why the lookup found nothing, as the system's error code; ERROR_SUCCESS (0)
    // when it found the entry. A full path too long for the record was never looked
    // up: ERROR_FILENAME_EXCED_RANGE.
    unsigned long lookupError() const { return m_lookupError; }

    bool isFile() const { return m_isFile; }
    char drive() const { return m_drive; }
    const char* fullPath() const { return m_fullPath; }
    // Null when the final component holds no dot, or there is no final component.
    const char* extension() const { return m_extension; }
    const char* baseName() const { return m_baseName; }
    // Null when the full path ends in a separator.
    const char* filePart() const { return m_filePart; }
    const char* directory() const { return m_directory; }

  private:
    bool m_exists;
    bool m_isFile;
    char m_drive;
    char m_fullPath[MaxPathLength];
    char* m_extension; // borrowed from m_fullPath
    char* m_baseName;  // owned, malloc'd
    char* m_filePart;  // borrowed from m_fullPath
    char* m_directory; // owned, malloc'd
    unsigned long m_lookupError;
};

#endif
