#pragma once

// Internal: the I/O side of a Session.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <curl/curl.h>

#include "http/DataRequest.h"
#include "http/DataResponse.h"
#include "http/IOThreadPool.h"
#include "http/RedirectPolicy.h"
#include "http/Session.h"
#include "http/TLSTrust.h"

namespace keln::http {

// The I/O side of a Session: one loop, on a thread of the IOThreadPool, driving one
// libcurl multi handle, whose connection cache keeps connections open between requests.
// Easy handles are kept and reset for later attempts; trusted authorities, TLS sessions
// and host name resolutions come from the process-wide TLSTrust. The members at the end
// are touched by the I/O loop only, and by the thread that stopped it once it has ended.
class SessionEngine : public std::enable_shared_from_this<SessionEngine> {
 public:
  SessionEngine(Session& owner, const SessionConfiguration& configuration);
  ~SessionEngine();

  // Cancels everything and waits for the I/O loop to end. Idempotent.
  void stop();
  bool stopped() const { return stopped_.load(); }

  std::shared_ptr<DataRequest> makeRequest(std::shared_ptr<const URLRequestConvertible> convertible,
                                           RequestInterceptor* interceptor) {
    return std::shared_ptr<DataRequest>(new DataRequest(weak_from_this(), std::move(convertible), interceptor));
  }

  // Any thread. The first request starts the I/O loop, which holds the engine until it
  // ends.
  void submit(std::shared_ptr<DataRequest> request) { post(Command{Command::Kind::start, std::move(request)}); }

 private:
  struct Command {
    enum class Kind { start, retry } kind;
    std::shared_ptr<DataRequest> request;
  };

  // One attempt handed to libcurl.
  struct Transfer {
    std::shared_ptr<DataRequest> request;
    URLRequest urlRequest;
    std::string url;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    int status = 0;
    HTTPHeaders responseHeaders;
    std::string body;
    bool bodyReceived = false;
    bool tooLarge = false;
    RedirectVerdict redirect = RedirectVerdict::follow;  // refused: the transfer was aborted
    std::string redirectLocation;

    explicit Transfer(URLRequest request) : urlRequest(std::move(request)) {}
    ~Transfer() {
      if (easy) curl_easy_cleanup(easy);
      if (headerList) curl_slist_free_all(headerList);
    }
  };

  void post(Command command);
  void releaseResources();
  void run();
  void handle(Command command);
  void startAttempt(const std::shared_ptr<DataRequest>& request);
  std::unique_ptr<Transfer> makeTransfer(const std::shared_ptr<DataRequest>& request, URLRequest urlRequest);
  void transferDone(CURL* easy, CURLcode code);
  // Takes back the easy handle of a finished transfer (removed from the multi handle).
  void recycle(std::unique_ptr<Transfer> transfer);
  void attemptFailed(const std::shared_ptr<DataRequest>& request, DataResponse failed);
  void finish(const std::shared_ptr<DataRequest>& request, DataResponse response);
  std::shared_ptr<const Error> validateReply(const DataRequest& request, const Transfer& transfer) const;

  static size_t onBody(char* data, size_t size, size_t count, void* transfer);
  static size_t onHeader(char* data, size_t size, size_t count, void* transfer);

  Session& owner_;
  const SessionConfiguration configuration_;
  const TLSTrust& trust_;
  CURLM* multi_ = nullptr;
  std::shared_ptr<IOThreadPool::Run> loop_;  // started under mutex_ by the first command; stable once stopping_
  std::atomic<bool> stopped_{false};

  std::mutex mutex_;
  std::vector<Command> commands_;  // guarded by mutex_
  bool stopping_ = false;          // guarded by mutex_

  // I/O thread only.
  std::unordered_map<DataRequest*, std::shared_ptr<DataRequest>> unfinished_;
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_;
  std::vector<CURL*> idleHandles_;
};

}  // namespace keln::http
