#pragma once
// A relay on 127.0.0.1 in front of a game server: it passes the bytes both
// ways (TLS included: it reads nothing of them) until it is told to fall
// silent, the way a network path or a server can stall while the client waits.

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace sortest {

class Relay
{
public:
    enum Mode {
        Pass,           // every byte both ways
        StallAfterGreeting,  // new connections: the server's greeting reaches the client, then nothing more
        Silent,         // nothing more passes on any connection; they stay open
    };

    explicit Relay(int serverPort);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    int port() const { return port_; }
    void setMode(Mode m) { mode_ = m; }
    int accepted() const { return accepted_; }

private:
    struct Pair
    {
        int client;
        int server;
        bool greeted = false;
        bool stalled = false;  // this pair passes nothing more
    };
    void loop();

    int serverPort_;
    int listen_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<int> mode_{Pass};
    std::atomic<int> accepted_{0};
    std::atomic<bool> ending_{false};
    std::vector<Pair> pairs_;
    std::thread thread_;
};

}  // namespace sortest
