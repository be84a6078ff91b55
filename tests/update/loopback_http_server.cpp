#include "tests/update/loopback_http_server.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace updatetest {
namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr int kSendFlags = 0;
void CloseSocket(Socket s) { closesocket(s); }
struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
#else
using Socket = int;
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that hung up must not kill the test with SIGPIPE
void CloseSocket(Socket s) { close(s); }
#endif

Socket ToSocket(std::intptr_t value) { return static_cast<Socket>(value); }

// Waits up to 50 ms for s to become readable.
bool Readable(Socket s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, 50 * 1000};
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(std::optional<std::string> rawResponse) : response_(std::move(rawResponse)) {
#ifdef _WIN32
  static WinsockInit winsock;
#endif
  const Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(s);
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  listener_ = static_cast<std::intptr_t>(s);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  thread_.join();
  CloseSocket(ToSocket(listener_));
}

std::u16string LoopbackHttpServer::Url(const std::string& path) const {
  const std::string url = "http://127.0.0.1:" + std::to_string(port_) + path;
  return std::u16string(url.begin(), url.end());
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::Serve() {
  const Socket listener = ToSocket(listener_);
  std::vector<Socket> held;  // connections left unanswered until the server stops
  while (!stop_) {
    if (!Readable(listener)) continue;
    const Socket client = accept(listener, nullptr, nullptr);
    if (client == ToSocket(-1)) continue;
    std::string head;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && !stop_ && std::chrono::steady_clock::now() < deadline) {
      if (!Readable(client)) continue;
      char chunk[1024];
      const auto got = recv(client, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      head.append(chunk, static_cast<std::size_t>(got));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
    }
    if (!response_) {
      held.push_back(client);
      continue;
    }
    std::size_t sent = 0;
    while (sent < response_->size()) {
      const auto n = send(client, response_->data() + sent, static_cast<int>(response_->size() - sent), kSendFlags);
      if (n <= 0) break;  // the client refused the rest
      sent += static_cast<std::size_t>(n);
    }
    CloseSocket(client);
  }
  for (const Socket s : held) CloseSocket(s);
}

std::string HttpResponse(const std::string& status, const std::string& body, const std::string& extraHeaders) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

void BypassProxiesForLoopback() {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
  }
#ifdef _WIN32
  _putenv_s("no_proxy", "127.0.0.1,localhost");
#else
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
#endif
}

}  // namespace updatetest
