#include "tests/support/Delayproxy.h"

#include "core/AtomicFile.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

// A socket descriptor closed with its owner.
using TSocket = TFileDescriptor;

void NoDelay(int fd)
{
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// One direction of a relayed connection: a reader that stamps each chunk
// with the time it may go on, and a writer that sends it then.
class TDirection {
public:
    TDirection(int aFrom, int aTo, Clock::duration aDelay, const std::atomic<bool>& aSilent)
        : from(aFrom), to(aTo), delay(aDelay), silent(aSilent)
    {
    }

    void Start()
    {
        reader = std::thread([this] { Read(); });
        writer = std::thread([this] { Write(); });
    }
    void Join()
    {
        if (reader.joinable())
            reader.join();
        if (writer.joinable())
            writer.join();
    }
    // Stops both threads without waiting for the chunks still held.
    void Abort()
    {
        std::lock_guard<std::mutex> guard(lock);
        aborted = true;
        ready.notify_all();
    }

private:
    struct TChunk {
        Clock::time_point due;
        std::string bytes;
    };

    void Read()
    {
        char buffer[65536];
        for (;;) {
            pollfd wait{from, POLLIN, 0};
            const int polled = ::poll(&wait, 1, 100);
            {
                std::lock_guard<std::mutex> guard(lock);
                if (aborted)
                    break;
            }
            if (polled == 0 || (polled < 0 && errno == EINTR) || silent)
                continue;
            const ssize_t got = polled < 0 ? -1 : ::recv(from, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            std::lock_guard<std::mutex> guard(lock);
            queue.push_back({Clock::now() + delay, std::string(buffer, static_cast<size_t>(got))});
            ready.notify_all();
        }
        std::lock_guard<std::mutex> guard(lock);
        ended = true;
        ready.notify_all();
    }

    void Write()
    {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            ready.wait(guard, [this] { return aborted || ended || !queue.empty(); });
            if (aborted)
                return;
            if (queue.empty()) {
                // The sender closed its side and everything it sent is out.
                ::shutdown(to, SHUT_WR);
                return;
            }
            const Clock::time_point due = queue.front().due;
            if (ready.wait_until(guard, due, [this] { return aborted; }))
                return;
            TChunk chunk = std::move(queue.front());
            queue.pop_front();
            guard.unlock();
            const bool sent = SendAll(to, chunk.bytes.data(), chunk.bytes.size());
            guard.lock();
            if (!sent) {
                aborted = true;
                return;
            }
        }
    }

    int from;
    int to;
    Clock::duration delay;
    const std::atomic<bool>& silent;
    std::mutex lock;
    std::condition_variable ready;
    std::deque<TChunk> queue;
    bool ended = false;
    bool aborted = false;
    std::thread reader;
    std::thread writer;
};

}  // namespace

struct TDelayProxy::TConnection {
    TConnection(int clientFd, int serverFd, Clock::duration delay, const std::atomic<bool>& silent)
        : client(clientFd), server(serverFd), up(clientFd, serverFd, delay, silent),
          down(serverFd, clientFd, delay, silent)
    {
        up.Start();
        down.Start();
    }
    ~TConnection()
    {
        up.Abort();
        down.Abort();
        up.Join();
        down.Join();
    }
    TSocket client;
    TSocket server;
    TDirection up;
    TDirection down;
};

TDelayProxy::TDelayProxy(int aTargetPort, double roundTripMs)
    : targetPort(aTargetPort), oneWaySeconds(roundTripMs / 2000.0)
{
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener < 0)
        throw std::runtime_error("delay proxy: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        throw std::runtime_error(std::string("delay proxy: cannot listen: ") + std::strerror(errno));
    }
    port = ntohs(address.sin_port);
    acceptor = std::thread([this] { Accept(); });
}

TDelayProxy::~TDelayProxy()
{
    stopping = true;
    acceptor.join();
    ::close(listener);
    std::lock_guard<std::mutex> guard(lock);
    connections.clear();
}

void TDelayProxy::Accept()
{
    const auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(oneWaySeconds));
    while (!stopping) {
        pollfd wait{listener, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        TSocket client(::accept(listener, nullptr, nullptr));
        if (client.Get() < 0)
            continue;
        TSocket server(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(static_cast<uint16_t>(targetPort));
        if (server.Get() < 0 || ::connect(server.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target) != 0)
            continue;  // the client sees its connection closed
        NoDelay(client.Get());
        NoDelay(server.Get());
        std::lock_guard<std::mutex> guard(lock);
        connections.push_back(std::make_unique<TConnection>(client.Release(), server.Release(), delay, silent));
    }
}
