#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

FileError::FileError(bool aCreating, const std::string& aPath, int error)
    : WriteError(std::string(aCreating ? "Cannot create file" : "Cannot write file") + " \"" + aPath + "\". " +
                std::strerror(error)),
      creating(aCreating),
      path(aPath),
      reason(std::strerror(error))
{
}

namespace {

// Writes all of the bytes at the offset; false with errno set when the
// system refuses.
bool WriteAll(int fd, const char* data, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

// Brings a rename in the folder to the disk. Some file systems cannot sync
// a folder; the file itself is on the disk by then either way.
void SyncFolderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const TFileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        fsync(dir.Get());
}

}  // namespace

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        fd = other.Release();
    }
    return *this;
}

int TFileDescriptor::Release() noexcept
{
    const int released = fd;
    fd = -1;
    return released;
}

void TFileDescriptor::Close() noexcept
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

mode_t TAtomicFile::DefaultFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

TAtomicFile::TAtomicFile(std::string t, mode_t createMode) : target(std::move(t)), replaced(target)
{
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) {
        // A folder in the target's place would refuse the rename only at
        // Commit, when other files of the same run may already have been
        // replaced.
        if (S_ISDIR(existing.st_mode))
            throw FileError(true, target, EISDIR);
        // A device, a pipe or a socket (/dev/stdout, say) keeps no content
        // that a failure could spoil; the data goes straight to it, and it
        // is never replaced by a file of ours.
        if (!S_ISREG(existing.st_mode)) {
            temp = target;
            direct = true;
            return;
        }
        // A link stays a link: the file it leads to is the one replaced.
        if (char* resolved = realpath(target.c_str(), nullptr)) {
            replaced = resolved;
            std::free(resolved);
        }
    }
    std::vector<char> name(replaced.begin(), replaced.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    file = TFileDescriptor(mkostemp(name.data(), O_CLOEXEC));
    if (!file)
        throw FileError(true, target, errno);
    temp = name.data();
    // A new file gets the usual permissions; a replaced one keeps its own.
    fchmod(file.Get(), stat(replaced.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : createMode);
}

TAtomicFile::~TAtomicFile()
{
    file.Close();
    if (!committed && !direct)
        unlink(temp.c_str());
}

void TAtomicFile::Write(const std::string& data)
{
    if (direct) {
        FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f)
            throw FileError(false, target, errno);
        bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
        int err = errno;
        if (std::fclose(f) != 0 && ok) {
            ok = false;
            err = errno;
        }
        if (!ok)
            throw FileError(false, target, err);
        return;
    }
    if (ftruncate(file.Get(), 0) != 0 || !WriteAll(file.Get(), data.data(), data.size(), 0))
        throw FileError(false, target, errno);
}

void TAtomicFile::Commit()
{
    if (!direct) {
        // The rename must not reach the disk before the data it names: after
        // a crash the target would be empty or short.
        if (fsync(file.Get()) != 0)
            throw FileError(false, target, errno);
        file.Close();
        if (std::rename(temp.c_str(), replaced.c_str()) != 0)
            throw FileError(false, target, errno);
        SyncFolderOf(replaced);
    }
    committed = true;
}

void WriteFileAtomically(const std::string& path, const std::string& data, mode_t createMode)
{
    TAtomicFile file(path, createMode);
    file.Write(data);
    file.Commit();
}

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

SpoolError::SpoolError(int error)
    : WriteError("Cannot write a temporary file in " + TemporaryFolder() + ": " + std::strerror(error)),
      folder(TemporaryFolder()), reason(std::strerror(error))
{
}

TFileDescriptor CreateSpoolFile()
{
    const std::string folder = TemporaryFolder();
    // The file has no name from the start where the file system allows it;
    // elsewhere its name goes at once.
    TFileDescriptor fd(open(folder.c_str(), O_RDWR | O_TMPFILE | O_EXCL | O_CLOEXEC, 0600));
    if (!fd && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string path = folder + "/norvane-XXXXXX";
        fd = TFileDescriptor(mkostemp(&path[0], O_CLOEXEC));
        if (fd)
            unlink(path.c_str());
    }
    if (!fd)
        throw SpoolError(errno);
    return fd;
}
