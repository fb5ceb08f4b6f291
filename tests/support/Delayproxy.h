#pragma once
// A TCP relay on the loopback interface that holds every chunk it forwards
// for half a round trip in each direction, so that a server on this machine
// answers as one across a network would. Bandwidth is not limited; only the
// time to and fro is added. Silenced, it is a network that stops carrying
// anything while every connection stays open.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TDelayProxy {
public:
    // Listens on 127.0.0.1 at a free port and relays every connection to
    // 127.0.0.1:targetPort, roundTripMs added to each round trip. Throws
    // std::runtime_error when it cannot listen.
    TDelayProxy(int targetPort, double roundTripMs);
    // Closes the listening socket and every relayed connection and waits
    // for the relay threads.
    ~TDelayProxy();
    TDelayProxy(const TDelayProxy&) = delete;
    TDelayProxy& operator=(const TDelayProxy&) = delete;

    int Port() const { return port; }
    // From now on nothing more is read from either side of any connection,
    // new ones included, and so nothing more arrives: the server and its
    // client each wait for the other for ever. What was read before still
    // goes on.
    void Silence() { silent = true; }

private:
    struct TConnection;
    void Accept();

    int targetPort;
    double oneWaySeconds;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<bool> silent{false};
    std::thread acceptor;
    std::mutex lock;
    std::vector<std::unique_ptr<TConnection>> connections;
};
