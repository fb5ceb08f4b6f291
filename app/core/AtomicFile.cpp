#include "app/core/AtomicFile.h"

#include "db/Exception.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string ErrorText(const std::string& what, const std::string& path, int err)
{
    return what + " \"" + path + "\". " + std::strerror(err);
}

}  // namespace

mode_t TAtomicFile::DefaultFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

TAtomicFile::TAtomicFile(std::string t, mode_t createMode) : target(std::move(t))
{
    // A folder in the target's place would refuse the rename only at Commit,
    // when other files of the same run may already have been replaced.
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        throw Exception(ErrorText("Cannot create file", target, EISDIR));
    std::vector<char> name(target.begin(), target.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    int fd = mkstemp(name.data());
    if (fd < 0)
        throw Exception(ErrorText("Cannot create file", target, errno));
    temp = name.data();
    // A new file gets the usual permissions; a replaced one keeps its own.
    struct stat st {};
    fchmod(fd, stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : createMode);
    close(fd);
}

TAtomicFile::~TAtomicFile()
{
    if (!committed)
        unlink(temp.c_str());
}

void TAtomicFile::Write(const std::string& data)
{
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        throw Exception(ErrorText("Cannot write file", target, errno));
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok)
        throw Exception(ErrorText("Cannot write file", target, err));
}

void TAtomicFile::Commit()
{
    if (std::rename(temp.c_str(), target.c_str()) != 0)
        throw Exception(ErrorText("Cannot write file", target, errno));
    committed = true;
}

void WriteFileAtomically(const std::string& path, const std::string& data, mode_t createMode)
{
    TAtomicFile file(path, createMode);
    file.Write(data);
    file.Commit();
}
