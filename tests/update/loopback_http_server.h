#pragma once
// A one-thread HTTP server on 127.0.0.1 (ephemeral port) that answers every request with one fixed
// raw response, or, when silent, accepts connections and never answers.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace updatetest {

class LoopbackHttpServer {
 public:
  // rawResponse is sent as is (status line, headers and body); nullopt means never answer.
  explicit LoopbackHttpServer(std::optional<std::string> rawResponse);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  uint16_t port() const { return port_; }
  std::u16string Url(const std::string& path) const;
  // The request heads received so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve();

  std::optional<std::string> response_;
  std::intptr_t listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// "HTTP/1.1 <status>" with Content-Length and Connection: close, plus extra header lines.
std::string HttpResponse(const std::string& status, const std::string& body, const std::string& extraHeaders = {});

// Keeps the transfer library away from any proxy named in the test's environment.
void BypassProxiesForLoopback();

}  // namespace updatetest
