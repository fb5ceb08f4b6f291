#include "app/Runoutput.h"

#include "core/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

constexpr std::size_t kPiece = 1 << 20;

}  // namespace

TRunOutput::TRunOutput()
{
    TFileDescriptor fd = CreateSpoolFile();
    file = fdopen(fd.Get(), "w+b");
    if (!file)
        throw SpoolError(errno);
    fd.Release();
}

TRunOutput::~TRunOutput()
{
    std::fclose(file);
}

void TRunOutput::Finish()
{
    struct stat status {};
    if (std::fflush(file) != 0 || fstat(fileno(file), &status) != 0)
        throw SpoolError(errno);
    size = status.st_size;
}

std::size_t TRunOutput::Read(std::int64_t offset, char* data, std::size_t count) const
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fileno(file), data + done, count - done, offset + static_cast<std::int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::string TRunOutput::ReadAll() const
{
    std::string text(static_cast<std::size_t>(size), '\0');
    text.resize(Read(0, text.data(), text.size()));
    return text;
}

bool TRunOutput::CopyTo(const std::string& path, const std::function<bool(int percent)>& proceed) const
{
    TAtomicFile target(path);
    std::FILE* out = std::fopen(target.TempPath().c_str(), "wb");
    if (!out)
        throw FileError(false, path, errno);
    std::vector<char> piece(kPiece);
    bool ok = true;
    int error = 0;
    for (std::int64_t offset = 0; ok && offset < size;) {
        if (proceed && !proceed(static_cast<int>(offset * 100 / size))) {
            std::fclose(out);
            return false;
        }
        const std::size_t got = Read(offset, piece.data(), piece.size());
        if (got == 0) {
            ok = false;
            error = EIO;
        } else if (std::fwrite(piece.data(), 1, got, out) != got) {
            ok = false;
            error = errno;
        }
        offset += static_cast<std::int64_t>(got);
    }
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok)
        throw FileError(false, path, error);
    target.Commit();
    return true;
}
