#include "Relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sortest {

Relay::Relay(int serverPort) : serverPort_(serverPort)
{
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 16) != 0 || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    port_ = ntohs(addr.sin_port);
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        return;
    thread_ = std::thread([this] { loop(); });
}

Relay::~Relay()
{
    ending_ = true;
    if (wake_[1] >= 0) {
        const char c = 0;
        (void)!::write(wake_[1], &c, 1);
    }
    if (thread_.joinable())
        thread_.join();
    for (const Pair& p : pairs_) {
        ::close(p.client);
        ::close(p.server);
    }
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

void Relay::loop()
{
    char buf[16384];
    while (!ending_) {
        std::vector<pollfd> fds{{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        for (const Pair& p : pairs_) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 100) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in addr{};
                addr.sin_family = AF_INET;
                addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                addr.sin_port = htons(uint16_t(serverPort_));
                if (s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                    pairs_.push_back({c, s, false, false});
                    ++accepted_;
                } else {
                    ::close(c);
                    if (s >= 0)
                        ::close(s);
                }
            }
            continue;  // the list of sockets changed
        }
        std::vector<std::size_t> gone;
        for (std::size_t i = 0; i < pairs_.size(); ++i) {
            Pair& p = pairs_[i];
            if (mode_ == Silent)
                p.stalled = true;
            for (int dir = 0; dir < 2; ++dir) {
                const pollfd& f = fds[2 + 2 * i + dir];
                if (!(f.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::read(f.fd, buf, sizeof buf);
                if (n <= 0) {
                    gone.push_back(i);
                    break;
                }
                if (p.stalled)
                    continue;  // read and dropped: the other side hears nothing
                const int to = dir == 0 ? p.server : p.client;
                (void)!::write(to, buf, std::size_t(n));
                if (dir == 1 && !p.greeted) {
                    p.greeted = true;
                    if (mode_ == StallAfterGreeting)
                        p.stalled = true;
                }
            }
        }
        for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
            ::close(pairs_[*it].client);
            ::close(pairs_[*it].server);
            pairs_.erase(pairs_.begin() + std::ptrdiff_t(*it));
        }
    }
}

}  // namespace sortest
