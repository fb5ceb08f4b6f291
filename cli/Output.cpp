#include "cli/Output.h"

#include "db/Tsignalwatch.h"
#include "locale/Messages.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// The temporary files beside the targets that are not yet in place: what
// EndAbruptly removes.
struct TTemporaryFiles {
    std::mutex lock;
    std::vector<std::string> paths;
    bool committing = false;
};

TTemporaryFiles& TemporaryFiles()
{
    static TTemporaryFiles files;
    return files;
}

WriteError CannotWrite(const std::string& name, int err)
{
    return WriteError(FormatMessage(msgCannotWritePath, {name, std::strerror(err)}));
}

// A pipe that takes nothing is looked at again this often, for a signal and
// for the timeout.
constexpr int kLookAgainMs = 100;

// How long a wait for a target to take its output may go on.
class TPatience {
public:
    TPatience(std::string aName, int aSeconds) : name(std::move(aName)), seconds(aSeconds) {}
    // The target took something.
    void Progress() { since = std::chrono::steady_clock::now(); }
    // After a look that found the target taking nothing.
    void Check() const
    {
        TSignalWatch::StopIfCaught();
        if (seconds > 0 && std::chrono::steady_clock::now() - since >= std::chrono::seconds(seconds))
            throw TimeoutError(FormatMessage(msgNothingRead, {name, std::to_string(seconds)}));
    }

private:
    std::string name;
    int seconds;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
};

// Opens a target that is no regular file for writing without waiting: a
// FIFO without a reader is waited for, a look every kLookAgainMs.
TFileDescriptor OpenTarget(const std::string& path, TPatience& patience)
{
    struct stat st {};
    const bool fifo = stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    for (;;) {
        TFileDescriptor fd(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd)
            return fd;
        if (errno == EINTR)
            continue;
        if (!fifo || errno != ENXIO)
            throw CannotWrite(path, errno);
        poll(nullptr, 0, kLookAgainMs);
        patience.Check();
    }
}

}  // namespace

TOutput::TOutput(std::string aTarget) : target(std::move(aTarget)), name(target.empty() ? msgStandardOutput : target)
{
    if (!target.empty()) {
        auto atomic = std::make_unique<TAtomicFile>(target);
        if (!atomic->Direct()) {
            TTemporaryFiles& files = TemporaryFiles();
            const std::lock_guard<std::mutex> lock(files.lock);
            files.paths.push_back(atomic->TempPath());
            file = std::move(atomic);
            descriptor = file->Descriptor();
        }
    }
    if (!file) {
        spool = CreateSpoolFile();
        descriptor = spool.Get();
    }
    // The stream keeps the reason of a failed write, which fwrite and
    // libxml2 drop.
    stream.reset(fopencookie(this, "w", cookie_io_functions_t{nullptr, &TOutput::Write, nullptr, nullptr}));
    if (!stream) {
        if (file)
            throw CannotWrite(name, errno);
        throw SpoolError(errno);
    }
    std::setvbuf(stream.get(), nullptr, _IOFBF, 1 << 16);
}

TOutput::~TOutput()
{
    stream.reset();
    if (!file)
        return;
    TTemporaryFiles& files = TemporaryFiles();
    const std::lock_guard<std::mutex> lock(files.lock);
    files.paths.erase(std::remove(files.paths.begin(), files.paths.end(), file->TempPath()), files.paths.end());
    file.reset();
}

ssize_t TOutput::Write(void* cookie, const char* data, size_t size)
{
    TOutput& output = *static_cast<TOutput*>(cookie);
    // Once a write has failed the output is lost: nothing more goes to it.
    if (output.writeError)
        return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(output.descriptor, data + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            output.writeError = written < 0 ? errno : EIO;
            // Short, so that the stream fails too.
            return static_cast<ssize_t>(done);
        }
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(size);
}

void TOutput::CheckWritten() const
{
    if (writeError && file)
        throw CannotWrite(name, writeError);
    if (writeError)
        throw SpoolError(writeError);
}

void TOutput::Finish()
{
    std::fflush(stream.get());
    CheckWritten();
    // Synced here, so that a failure names the target as a write does.
    if (file && fsync(descriptor) != 0)
        throw CannotWrite(name, errno);
}

void TOutput::PassOn(int timeoutSeconds)
{
    if (file)
        return;
    TPatience patience(name, timeoutSeconds);
    TFileDescriptor opened;
    if (!target.empty())
        opened = OpenTarget(target, patience);
    const int out = opened ? opened.Get() : STDOUT_FILENO;
    // Standard output is shared with the caller and stays blocking: a pipe
    // there gets no more at a time than it is known to have room for, so
    // that a reader who stops reading cannot hold the program. A target
    // opened here does not block at all.
    struct stat st {};
    const bool waits = fstat(out, &st) != 0 || !S_ISREG(st.st_mode);
    const size_t most = opened ? SIZE_MAX : PIPE_BUF;
    std::vector<char> buffer(1 << 16);
    patience.Progress();
    for (off_t offset = 0;;) {
        const ssize_t got = pread(descriptor, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw SpoolError(errno);
        if (got == 0)
            return;
        for (size_t done = 0; done < static_cast<size_t>(got);) {
            TSignalWatch::StopIfCaught();
            if (waits) {
                pollfd room{out, POLLOUT, 0};
                if (poll(&room, 1, kLookAgainMs) == 0) {
                    patience.Check();
                    continue;
                }
            }
            const ssize_t written =
                write(out, buffer.data() + done, std::min(most, static_cast<size_t>(got) - done));
            if (written < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (written <= 0)
                throw CannotWrite(name, written < 0 ? errno : EIO);
            done += static_cast<size_t>(written);
            patience.Progress();
        }
        offset += got;
    }
}

void TOutput::Commit(const std::vector<TOutput*>& outputs)
{
    TTemporaryFiles& files = TemporaryFiles();
    {
        const std::lock_guard<std::mutex> lock(files.lock);
        files.committing = true;
    }
    for (TOutput* output : outputs)
        if (output && output->file)
            output->file->Commit();
}

namespace {

// What names a file: its device and inode, or, for a name where nothing is
// yet, its folder's and its own name there.
struct TIdentity {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string entry;

    bool operator==(const TIdentity& other) const
    {
        return known && other.known && device == other.device && inode == other.inode && entry == other.entry;
    }
};

TIdentity IdentityOf(const std::string& path)
{
    TIdentity identity;
    struct stat st {};
    if (path.empty() ? fstat(STDOUT_FILENO, &st) == 0 : stat(path.c_str(), &st) == 0) {
        identity = {true, st.st_dev, st.st_ino, {}};
        return identity;
    }
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(folder.c_str(), &st) == 0)
        identity = {true, st.st_dev, st.st_ino, slash == std::string::npos ? path : path.substr(slash + 1)};
    return identity;
}

}  // namespace

bool SameFile(const std::string& first, const std::string& second)
{
    return IdentityOf(first) == IdentityOf(second);
}

void EndAbruptly(const std::string& text, int status)
{
    TTemporaryFiles& files = TemporaryFiles();
    const std::lock_guard<std::mutex> lock(files.lock);
    if (files.committing)
        return;
    for (const std::string& path : files.paths)
        unlink(path.c_str());
    // Standard error may be a pipe nobody reads: the text goes only when it
    // can go at once.
    pollfd room{STDERR_FILENO, POLLOUT, 0};
    if (!text.empty() && poll(&room, 1, 0) == 1 && (room.revents & POLLOUT)) {
        const std::string line = text + "\n";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
    }
    std::_Exit(status);
}
