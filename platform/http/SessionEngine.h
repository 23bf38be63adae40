#pragma once

// Internal: the I/O side of a Session.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <curl/curl.h>

#include "http/DataRequest.h"
#include "http/DataResponse.h"
#include "http/IOLoop.h"
#include "http/RedirectPolicy.h"
#include "http/Session.h"
#include "http/TLSTrust.h"

namespace keln::http {

// The I/O side of a Session: one libcurl multi handle, whose connection cache keeps
// connections open between requests, driven on the IOLoop's thread. Easy handles are kept
// and reset for later attempts; trusted authorities, TLS sessions and host name
// resolutions come from the process-wide TLSTrust.
//
// makeRequest(), submit() and stop() are called on the thread that owns the session (the
// main thread); everything else, and every member below them, belongs to the loop's
// thread, where adapters, retriers and retry delays run. Completions are posted to the
// main queue.
class SessionEngine : public std::enable_shared_from_this<SessionEngine> {
 public:
  SessionEngine(Session& owner, const SessionConfiguration& configuration);
  ~SessionEngine();

  // Cancels everything and lets go of the connections; completions already posted do not
  // run. Idempotent. From the owner's thread it waits until the loop's thread has let go
  // (the loop never waits for the network nor for the owner's thread, so this is short);
  // called from an adapter, a retrier or other code the engine is running, it takes effect
  // at once and the resources go when that code has returned.
  void stop();
  bool stopped() const { return stopped_.load(); }

  std::shared_ptr<DataRequest> makeRequest(std::shared_ptr<const URLRequestConvertible> convertible,
                                           RequestInterceptor* interceptor) {
    return std::shared_ptr<DataRequest>(new DataRequest(weak_from_this(), std::move(convertible), interceptor));
  }

  // Hands the request to the loop's thread, where its first attempt starts at once.
  void submit(const std::shared_ptr<DataRequest>& request);

  // From the IOLoop, on its thread: `socket` is ready as `mask` (CURL_CSELECT_*) tells, or the deadline
  // libcurl asked for has passed.
  void socketReady(int socket, int mask);
  void deadlinePassed();

 private:
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

  // Runs `work` with the engine held, releasing the resources afterwards if it was
  // stopped meanwhile.
  template <typename Work>
  void busy(Work&& work);
  void releaseResources();
  void stopOnLoop();
  void start(const std::shared_ptr<DataRequest>& request);
  void retry(const std::shared_ptr<DataRequest>& request);
  // Makes and adapts the attempt's request, then sends it (over HTTPS, once the trusted
  // authorities are loaded).
  void startAttempt(const std::shared_ptr<DataRequest>& request);
  void send(const std::shared_ptr<DataRequest>& request, URLRequest urlRequest);
  std::unique_ptr<Transfer> makeTransfer(const std::shared_ptr<DataRequest>& request, URLRequest urlRequest);
  // Hands libcurl `socket` (or CURL_SOCKET_TIMEOUT) and takes the transfers it finished.
  void act(curl_socket_t socket, int mask);
  void transferDone(CURL* easy, CURLcode code);
  // Takes back the easy handle of a finished transfer (removed from the multi handle).
  void recycle(std::unique_ptr<Transfer> transfer);
  void attemptFailed(const std::shared_ptr<DataRequest>& request, DataResponse failed);
  void finish(const std::shared_ptr<DataRequest>& request, DataResponse response);
  std::shared_ptr<const Error> validateReply(const DataRequest& request, const Transfer& transfer) const;

  static int onSocket(CURL* easy, curl_socket_t socket, int what, void* engine, void* socketData);
  static int onTimer(CURLM* multi, long milliseconds, void* engine);
  static size_t onBody(char* data, size_t size, size_t count, void* transfer);
  static size_t onHeader(char* data, size_t size, size_t count, void* transfer);

  Session& owner_;
  const SessionConfiguration configuration_;
  const TLSTrust& trust_;
  IOLoop& loop_;
  std::atomic<bool> stopped_{false};
  bool submitted_ = false;  // owner's thread: a request went to the loop

  // The loop's thread only (or any thread once nothing was ever submitted).
  CURLM* multi_ = nullptr;
  std::uint32_t loopId_ = 0;  // in the IOLoop; 0 until the first request
  int busyDepth_ = 0;
  std::unordered_map<DataRequest*, std::shared_ptr<DataRequest>> unfinished_;
  std::unordered_map<DataRequest*, std::uint64_t> delayedRetries_;  // the loop's ids
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_;
  std::vector<CURL*> idleHandles_;
};

}  // namespace keln::http
