#include "app/core/AtomicFile.h"

#include "app/core/Exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

FileError::FileError(bool aCreating, const std::string& aPath, int error)
    : Exception(std::string(aCreating ? "Cannot create file" : "Cannot write file") + " \"" + aPath + "\". " +
                std::strerror(error)),
      creating(aCreating),
      path(aPath),
      reason(std::strerror(error))
{
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
    int fd = mkstemp(name.data());
    if (fd < 0)
        throw FileError(true, target, errno);
    temp = name.data();
    // A new file gets the usual permissions; a replaced one keeps its own.
    fchmod(fd, stat(replaced.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : createMode);
    close(fd);
}

TAtomicFile::~TAtomicFile()
{
    if (!committed && !direct)
        unlink(temp.c_str());
}

void TAtomicFile::Write(const std::string& data)
{
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
}

void TAtomicFile::Commit()
{
    if (!direct && std::rename(temp.c_str(), replaced.c_str()) != 0)
        throw FileError(false, target, errno);
    committed = true;
}

void WriteFileAtomically(const std::string& path, const std::string& data, mode_t createMode)
{
    TAtomicFile file(path, createMode);
    file.Write(data);
    file.Commit();
}
