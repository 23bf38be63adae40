#include "support/LocalGateway.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include <httplib.h>

namespace keln::testing {
namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Headers the server library adds to each request for its handlers; not from the wire.
bool isServerAnnotation(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

// The server's end of the connection between local port `localPort` and the peer's
// `remotePort`, found among this process's descriptors; -1 when there is none.
int findServerSocket(int localPort, int remotePort) {
  DIR* directory = ::opendir("/proc/self/fd");
  if (directory == nullptr) return -1;
  int found = -1;
  while (dirent* entry = ::readdir(directory)) {
    char* end = nullptr;
    long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == ::dirfd(directory)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
    if (::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
    if (portOf(local) == localPort && portOf(peer) == remotePort) {
      found = static_cast<int>(fd);
      break;
    }
  }
  ::closedir(directory);
  return found;
}

// Aborts a TCP connection with a reset while leaving the descriptor open for its owner,
// which then sees its writes fail and closes it as usual.
void resetConnection(int localPort, int remotePort) {
  int fd = findServerSocket(localPort, remotePort);
  if (fd < 0) return;
  sockaddr unspecified{};
  unspecified.sa_family = AF_UNSPEC;
  ::connect(fd, &unspecified, sizeof unspecified);
}

// Counts the connections the server accepts, and serves each on a worker pool.
class CountingTaskQueue final : public httplib::TaskQueue {
 public:
  CountingTaskQueue(std::size_t threads, std::atomic<std::size_t>& accepted) : pool_(threads), accepted_(accepted) {}
  void enqueue(std::function<void()> task) override {
    ++accepted_;
    pool_.enqueue(std::move(task));
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  std::atomic<std::size_t>& accepted_;
};

}  // namespace

GatewayReply GatewayReply::json(int status, std::string body) {
  GatewayReply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

GatewayReply GatewayReply::empty(int status) {
  GatewayReply reply;
  reply.status = status;
  return reply;
}

GatewayReply GatewayReply::withFault(Fault fault, std::string body, std::size_t faultAfterBytes) {
  GatewayReply reply;
  reply.body = std::move(body);
  reply.fault = fault;
  reply.faultAfterBytes = std::min(faultAfterBytes, reply.body.size());
  return reply;
}

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

LocalGateway::LocalGateway() : LocalGateway(Options{}) {}

LocalGateway::LocalGateway(Options options) : options_(options) {
  defaultReply_ = GatewayReply::json(404, R"({"error":"no reply scripted"})");
  if (options_.https) {
    ServerIdentity identity = TestCertificateAuthority::shared().issue(options_.certificate);
    server_ = std::make_unique<httplib::SSLServer>(identity.certificate.get(), identity.privateKey.get());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!server_->is_valid()) throw std::runtime_error("local gateway: server could not be set up");

  std::size_t threads = std::max<std::size_t>(options_.workerThreads, 1);
  server_->new_task_queue = [this, threads] { return new CountingTaskQueue(threads, acceptedConnections_); };
  server_->set_tcp_nodelay(true);
  server_->set_keep_alive_max_count(100000);
  server_->set_keep_alive_timeout(30);

  auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.target = request.target;
    recorded.path = request.path;
    for (const auto& [name, value] : request.headers) {
      if (!isServerAnnotation(name)) recorded.headers.emplace(name, value);
    }
    recorded.body = request.body;
    recorded.remotePort = request.remote_port;
    recorded.resumedTLSSession = request.ssl != nullptr && SSL_session_reused(request.ssl) == 1;
    GatewayReply reply = nextReply(recorded);

    if (reply.delay.count() > 0 && !pause(reply.delay)) {
      resetConnection(request.local_port, request.remote_port);
      return;
    }
    if (reply.fault == GatewayReply::Fault::resetBeforeReply) {
      resetConnection(request.local_port, request.remote_port);
      return;
    }

    response.status = reply.status;
    bool hasContentType = false;
    std::string contentType = "application/json";
    for (const auto& [name, value] : reply.headers) {
      if (equalsIgnoringCase(name, "Content-Type")) {
        hasContentType = true;
        contentType = value;
      } else {
        response.set_header(name, value);
      }
    }
    if (reply.body.empty() && reply.fault == GatewayReply::Fault::none) {
      if (hasContentType) response.set_header("Content-Type", contentType);
      return;
    }
    // Bodies go out with a fixed length and uncompressed, so that a test knows the exact
    // bytes on the wire.
    auto body = std::make_shared<std::string>(std::move(reply.body));
    std::size_t sendBeforeFault = std::min(reply.faultAfterBytes, body->size());
    GatewayReply::Fault fault = reply.fault;
    int localPort = request.local_port;
    int remotePort = request.remote_port;
    response.set_content_provider(
        body->size(), contentType,
        [this, body, fault, sendBeforeFault, localPort, remotePort](std::size_t offset, std::size_t length,
                                                                    httplib::DataSink& sink) {
          if (fault == GatewayReply::Fault::none) {
            return sink.write(body->data() + offset, std::min<std::size_t>(length, 64 * 1024));
          }
          if (offset < sendBeforeFault) {
            return sink.write(body->data() + offset, std::min(length, sendBeforeFault - offset));
          }
          switch (fault) {
            case GatewayReply::Fault::resetBody: resetConnection(localPort, remotePort); break;
            case GatewayReply::Fault::stallBody: pause(std::chrono::hours(1)); break;
            default: break;
          }
          return false;
        });
  };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  server_->Put(".*", handler);
  server_->Patch(".*", handler);
  server_->Delete(".*", handler);
  server_->Options(".*", handler);

  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("local gateway: cannot bind to 127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::yield();
}

LocalGateway::~LocalGateway() { stop(); }

void LocalGateway::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  }
}

std::string LocalGateway::url() const {
  return std::string(options_.https ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

const std::string& LocalGateway::trustedAuthorityPath() { return TestCertificateAuthority::shared().certificatePath(); }

std::string LocalGateway::refusedURL() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("local gateway: socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("local gateway: cannot find a free port");
  }
  // Bound but never listening: connections to it are refused while it stays bound, so
  // the port is kept for the life of the process.
  static std::mutex mutex;
  static std::vector<int> keptOpen;
  std::lock_guard<std::mutex> lock(mutex);
  keptOpen.push_back(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

void LocalGateway::enqueue(GatewayReply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(reply));
}

void LocalGateway::enqueue(std::vector<GatewayReply> replies) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (GatewayReply& reply : replies) queue_.push_back(std::move(reply));
}

void LocalGateway::setDefaultReply(GatewayReply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  defaultReply_ = std::move(reply);
}

void LocalGateway::setResponder(std::function<GatewayReply(const RecordedRequest&)> responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

std::vector<RecordedRequest> LocalGateway::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t LocalGateway::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

bool LocalGateway::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void LocalGateway::clearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  connectionByPort_.clear();
}

GatewayReply LocalGateway::nextReply(const RecordedRequest& request) {
  std::function<GatewayReply(const RecordedRequest&)> responder;
  GatewayReply reply;
  RecordedRequest stored = request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto [position, inserted] = connectionByPort_.try_emplace(request.remotePort, connectionByPort_.size() + 1);
    stored.connection = position->second;
    requests_.push_back(stored);
    if (!queue_.empty()) {
      reply = std::move(queue_.front());
      queue_.pop_front();
      changed_.notify_all();
      return reply;
    }
    responder = responder_;
    reply = defaultReply_;
  }
  changed_.notify_all();
  if (responder) return responder(stored);
  return reply;
}

bool LocalGateway::pause(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return stopping_; });
}

}  // namespace keln::testing
