#pragma once
#include "core/Exception.h"

#include <sys/types.h>

#include <string>

// An output that cannot be made or written: a missing folder, a full disk,
// a pipe whose reader went away. The text names the file and the system's
// reason.
class WriteError : public Exception {
public:
    using Exception::Exception;
};

// An open file descriptor, closed with its owner.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int aFd = -1) noexcept : fd(aFd) {}
    ~TFileDescriptor() { Close(); }
    TFileDescriptor(TFileDescriptor&& other) noexcept : fd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }
    // Gives the descriptor up to a new owner.
    int Release() noexcept;
    void Close() noexcept;

private:
    int fd;
};

// A file that cannot be created or written. The message is English
// ("Cannot create file \"path\". reason"); a front end with a message
// catalogue words it again from the parts.
class FileError : public WriteError {
public:
    FileError(bool creating, const std::string& path, int error);
    bool creating;       // the file could not be made at all
    std::string path;    // as the writer was given it
    std::string reason;  // the system's text of the error
};

// Writes a file so that readers see either the old content or the whole new
// one: the data goes to a temporary file beside the target, which replaces
// the target only on Commit, after it has reached the disk. Without Commit
// the temporary file is removed; nothing else is ever removed. A target that
// is a link replaces the file the link leads to; a target that is a device or
// a pipe is written directly (Direct). A folder is refused at once.
class TAtomicFile {
public:
    // createMode: permission bits when the target does not exist yet (by
    // default those of a new file under the umask); a replaced file keeps its
    // own. Throws WriteError "Cannot create file \"target\". reason".
    explicit TAtomicFile(std::string target, mode_t createMode = DefaultFileMode());
    static mode_t DefaultFileMode();
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // The temporary file's path, for writers that want a file name; the
    // target itself when Direct.
    const std::string& TempPath() const { return temp; }
    // The temporary file, open for writing, until Commit; -1 when Direct.
    // Writing through it leaves no moment in which another file could take
    // the temporary file's name.
    int Descriptor() const { return file.Get(); }
    // Whether the target is no regular file (a device, a pipe, a socket) and
    // is written in place.
    bool Direct() const { return direct; }
    // Writes all of data to the temporary file (replacing what it held).
    void Write(const std::string& data);
    // Brings the temporary file to the disk and moves it into place; throws
    // WriteError "Cannot write file \"target\". reason" on failure.
    void Commit();

private:
    std::string target;    // as given: the name in messages
    std::string replaced;  // the file the rename replaces: the target, or where its link leads
    std::string temp;
    TFileDescriptor file;
    bool committed = false;
    bool direct = false;  // temp is the target itself
};

// Writes data to path through a TAtomicFile. Throws FileError.
void WriteFileAtomically(const std::string& path, const std::string& data,
                         mode_t createMode = TAtomicFile::DefaultFileMode());

// The folder of temporary files: $TMPDIR when it is set, else /tmp.
std::string TemporaryFolder();

// A temporary file of TemporaryFolder() that cannot be made or written. The
// message is English ("Cannot write a temporary file in FOLDER: reason"); a
// front end with a message catalogue words it again from the parts.
class SpoolError : public WriteError {
public:
    explicit SpoolError(int error);
    std::string folder;
    std::string reason;  // the system's text of the error
};

// A temporary file without a name in TemporaryFolder(), open for reading and
// writing, for data kept aside during a run: nothing is left of it once it
// is closed, however the program ends. Throws SpoolError.
TFileDescriptor CreateSpoolFile();
