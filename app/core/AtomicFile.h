#pragma once
#include <sys/types.h>

#include <string>

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

// Writes data to path through a TAtomicFile. Throws Exception
// "Cannot create file \"path\". reason" or "Cannot write file ...".
void WriteFileAtomically(const std::string& path, const std::string& data,
                         mode_t createMode = TAtomicFile::DefaultFileMode());
