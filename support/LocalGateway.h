#pragma once

// A real HTTP or HTTPS server on 127.0.0.1 that stands in for the payment gateway in
// tests and benchmarks.
//
// Each test scripts the replies (status, headers, body, a delay before replying, or a
// connection fault part-way through the body) and afterwards reads back every request
// the gateway received: method, target, headers, body and the connection it came on.
// Replies are taken from a queue in order; when the queue is empty the responder (if
// set) or the default reply answers.
//
// The server runs on its own threads; every member function is thread-safe. Destroying
// the gateway stops it, waking any reply that is still delaying or stalling.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/TestCertificateAuthority.h"

namespace httplib {
class Server;
}

namespace keln::testing {

struct GatewayReply {
  enum class Fault {
    none,
    cutBody,           // announce the whole body, send `faultAfterBytes` of it, then close
    resetBody,         // announce the whole body, send `faultAfterBytes` of it, then reset
    resetBeforeReply,  // reset the connection without answering
    stallBody,         // send `faultAfterBytes` of the body, then send nothing until stopped
  };

  int status = 200;
  std::string body;
  // Sent as given. A body without a "Content-Type" header goes out as application/json.
  std::vector<std::pair<std::string, std::string>> headers;
  // Waited before anything is written (cut short when the gateway stops).
  std::chrono::milliseconds delay{0};
  Fault fault = Fault::none;
  std::size_t faultAfterBytes = 0;

  static GatewayReply json(int status, std::string body);
  static GatewayReply empty(int status);
  static GatewayReply withFault(Fault fault, std::string body, std::size_t faultAfterBytes);
};

struct RecordedRequest {
  std::string method;
  std::string target;                               // as on the request line: escapes untouched, query included
  std::string path;                                 // the target's path with escapes decoded
  std::multimap<std::string, std::string> headers;  // names as received
  std::string body;
  int remotePort = -1;
  std::size_t connection = 0;      // 1 for the first connection a request came on, 2 for the next...
  bool resumedTLSSession = false;  // came on a TLS connection that resumed an earlier session

  // The value of a header (name compared without regard to case), if present.
  std::optional<std::string> header(const std::string& name) const;
};

class LocalGateway {
 public:
  struct Options {
    bool https = false;
    CertificateKind certificate = CertificateKind::valid;
    std::size_t workerThreads = 8;
  };

  LocalGateway();
  explicit LocalGateway(Options options);
  ~LocalGateway();
  LocalGateway(const LocalGateway&) = delete;
  LocalGateway& operator=(const LocalGateway&) = delete;

  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT": scheme and host only.
  std::string url() const;
  int port() const { return port_; }
  bool isSecure() const { return options_.https; }

  // The file a client must trust to accept this gateway's valid certificate.
  static const std::string& trustedAuthorityPath();
  // A URL on 127.0.0.1 where nothing listens, so that a connection is refused.
  static std::string refusedURL();

  void enqueue(GatewayReply reply);
  void enqueue(std::vector<GatewayReply> replies);
  void setDefaultReply(GatewayReply reply);
  void setResponder(std::function<GatewayReply(const RecordedRequest&)> responder);

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;
  // Waits up to `timeout` until at least `count` requests have arrived.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
  // Connections accepted since the gateway started.
  std::size_t acceptedConnections() const { return acceptedConnections_.load(); }
  // Forgets the requests received so far and the connections they came on: the next
  // connection is numbered 1 again.
  void clearRequests();

  // Stops serving; idempotent.
  void stop();

 private:
  GatewayReply nextReply(const RecordedRequest& request);
  // Waits `duration`, or less when the gateway stops. True when not stopped.
  bool pause(std::chrono::milliseconds duration);

  Options options_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = -1;
  std::atomic<std::size_t> acceptedConnections_{0};

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;                                          // guarded by mutex_
  std::deque<GatewayReply> queue_;                                 // guarded by mutex_
  GatewayReply defaultReply_;                                      // guarded by mutex_
  std::function<GatewayReply(const RecordedRequest&)> responder_;  // guarded by mutex_
  std::vector<RecordedRequest> requests_;                          // guarded by mutex_
  std::map<int, std::size_t> connectionByPort_;                    // guarded by mutex_
};

}  // namespace keln::testing
