#pragma once
// TCP listeners on 127.0.0.1 that stall an HTTPS client in one phase each:
//   SilentListener     the connection opens, but the server never speaks: TLS set-up waits
//   FullQueueListener  its queue of pending connections is full, so the kernel drops further
//                      connection requests: the client keeps connecting
// Test thread only; port() is 0 when the listener could not be made.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sp::test {

class LoopbackListener {
public:
  explicit LoopbackListener(int backlog) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd_, backlog) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~LoopbackListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  int port() const { return port_; }

protected:
  static sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<in_port_t>(port));
    return address;
  }

  int fd_ = -1;
  int port_ = 0;
};

class SilentListener : public LoopbackListener {
public:
  SilentListener() : LoopbackListener(8) {}
  ~SilentListener() {
    if (client_ >= 0) ::close(client_);
  }
  // Waits up to `ms` for a client to connect.
  bool accept(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) != 1) return false;
    client_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }

private:
  int client_ = -1;
};

class FullQueueListener : public LoopbackListener {
public:
  // A queue of one pending connection, taken by a connection of our own that is never accepted.
  FullQueueListener() : LoopbackListener(0) {
    if (port_ == 0) return;
    filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port_);
    if (filler_ < 0 || ::connect(filler_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      port_ = 0;
    }
  }
  ~FullQueueListener() {
    if (filler_ >= 0) ::close(filler_);
  }

private:
  int filler_ = -1;
};

}  // namespace sp::test
