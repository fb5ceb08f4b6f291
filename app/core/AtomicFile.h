#pragma once
#include "app/core/Exception.h"

#include <sys/types.h>

#include <string>

// A file that cannot be created or written. The message is English
// ("Cannot create file \"path\". reason"); a front end with a message
// catalogue words it again from the parts.
class FileError : public Exception {
public:
    FileError(bool creating, const std::string& path, int error);
    bool creating;       // the file could not be made at all
    std::string path;    // as the writer was given it
    std::string reason;  // the system's text of the error
};

// Writes a file so that readers see either the old content or the whole new
// one: the data goes to a temporary file beside the target, which replaces
// the target only on Commit. Without Commit the temporary file is removed.
// A target that is a link replaces the file the link leads to; a target that
// is a device or a pipe is written directly. A folder is refused at once.
class TAtomicFile {
public:
    // createMode: permission bits when the target does not exist yet (by
    // default those of a new file under the umask); a replaced file keeps its own.
    explicit TAtomicFile(std::string target, mode_t createMode = DefaultFileMode());
    static mode_t DefaultFileMode();
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // The temporary file's path, for writers that want a file name.
    const std::string& TempPath() const { return temp; }
    // Writes all of data to the temporary file (replacing what it held).
    void Write(const std::string& data);
    // Moves the temporary file into place; throws Exception on failure.
    void Commit();

private:
    std::string target;    // as given: the name in messages
    std::string replaced;  // the file the rename replaces: the target, or where its link leads
    std::string temp;
    bool committed = false;
    bool direct = false;  // temp is the target itself
};

// Writes data to path through a TAtomicFile. Throws FileError.
void WriteFileAtomically(const std::string& path, const std::string& data,
                         mode_t createMode = TAtomicFile::DefaultFileMode());
