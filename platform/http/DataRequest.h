#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "http/DataResponse.h"
#include "http/RequestInterceptor.h"
#include "http/URLRequest.h"

namespace keln::http {

class SessionEngine;

// One request of a Session, across all its attempts. Made by Session::request(); set up
// with validate() and started by responseData(), both called once, in that order, on the
// thread that made it (the main thread); from then on the network thread runs it. The
// session keeps the request alive until it has finished, so a caller need not hold on to
// it.
//
// Every attempt makes the request anew from the convertible, runs the interceptor's
// adapter on it and sends it. An attempt fails on a creation or adaptation error, a
// transport error, a reply rejected by validate(), a reply body over the size limit, or
// a reply with no body whose status is not 204 or 205 (HEAD requests excepted). After a
// failed attempt the interceptor's retrier is asked once what to do; without an
// interceptor the request finishes. The final outcome reaches the completion exactly once,
// on the main queue, unless the session is destroyed first: then the request is cancelled
// and its completion never runs.
class DataRequest : public std::enable_shared_from_this<DataRequest> {
 public:
  using Completion = std::function<void(DataResponse)>;

  DataRequest(const DataRequest&) = delete;
  DataRequest& operator=(const DataRequest&) = delete;

  // Accept only a reply whose status is in 200..<300 and whose Content-Type matches the
  // request's Accept header (any type when the request has none or the body is empty).
  DataRequest& validate();

  // Starts the request. `completion` runs on the main queue with the final outcome. Later
  // calls do nothing.
  DataRequest& responseData(Completion completion);

  // Retries made so far: 0 during the first attempt, raised by one before each retry.
  // Any thread.
  int retryCount() const { return retryCount_.load(); }

 private:
  friend class SessionEngine;

  DataRequest(std::weak_ptr<SessionEngine> engine, std::shared_ptr<const URLRequestConvertible> convertible,
              RequestInterceptor* interceptor);

  std::weak_ptr<SessionEngine> engine_;
  const std::shared_ptr<const URLRequestConvertible> convertible_;
  RequestInterceptor* const interceptor_;
  // Set before the request starts, then read on the network thread only.
  bool validates_ = false;
  Completion completion_;
  bool started_ = false;
  std::atomic<int> retryCount_{0};
};

}  // namespace keln::http
