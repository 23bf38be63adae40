#include "http/SessionEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <utility>

#include <keln/dispatch/MainQueue.h>
#include <keln/foundation/Result.h>

#include "foundation/Unicode.h"
#include "http/CurlErrorMapping.h"
#include "http/RequestError.h"
#include "http/URLError.h"

namespace keln::http {
namespace {

// An error thrown by code the session calls (a convertible or an adapter), kept with its
// texts and the exception itself.
class ThrownError final : public Error {
 public:
  ThrownError(std::string description, std::string localizedDescription, std::exception_ptr exception)
      : description_(std::move(description)),
        localizedDescription_(std::move(localizedDescription)),
        exception_(std::move(exception)) {}
  std::string description() const override { return description_; }
  std::string localizedDescription() const override { return localizedDescription_; }
  const std::exception_ptr& exception() const { return exception_; }

 private:
  std::string description_;
  std::string localizedDescription_;
  std::exception_ptr exception_;
};

// The exception being handled, as an Error. Call inside a catch block only.
std::shared_ptr<const Error> currentExceptionAsError() {
  const std::exception_ptr current = std::current_exception();
  try {
    throw;
  } catch (const RequestError& error) {
    return makeError(error);
  } catch (const Error& error) {
    return makeError(ThrownError(error.description(), error.localizedDescription(), current));
  } catch (const std::exception& error) {
    return makeError(ThrownError(error.what(), error.what(), current));
  } catch (...) {
    return makeError(ThrownError("unknown error", "unknown error", current));
  }
}

long milliseconds(double seconds) {
  if (!(seconds > 0)) return 1;
  const double ms = std::ceil(seconds * 1000.0);
  return ms >= 1e12 ? 0 : static_cast<long>(ms);  // 0: no limit
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// "text/html; charset=utf-8" -> "text/html"
std::string mimeType(std::string_view text) {
  return foundation::asciiLowercased(trimmed(text.substr(0, text.find(';'))));
}

bool mimeTypeMatches(const std::string& acceptable, const std::string& actual) {
  if (acceptable == "*/*" || acceptable == "*") return true;
  const auto slash = acceptable.find('/');
  const auto actualSlash = actual.find('/');
  if (slash == std::string::npos || actualSlash == std::string::npos) return acceptable == actual;
  const std::string type = acceptable.substr(0, slash), subtype = acceptable.substr(slash + 1);
  return type == actual.substr(0, actualSlash) && (subtype == "*" || subtype == actual.substr(actualSlash + 1));
}

bool isSecure(const URLRequest& request) {
  const std::optional<std::string>& scheme = request.url().scheme();
  return scheme && foundation::asciiCaseInsensitiveEquals(*scheme, "https");
}

// Idle easy handles a session keeps for its next attempts.
constexpr std::size_t kIdleHandlesKept = 4;

}  // namespace

SessionEngine::SessionEngine(Session& owner, const SessionConfiguration& configuration)
    : owner_(owner),
      configuration_(configuration),
      trust_(TLSTrust::forAdditionalCertificates(configuration_.additionalTrustedCertificatesFile)),
      loop_(configuration_.loop ? *configuration_.loop : IOLoop::shared()) {
  multi_ = curl_multi_init();
  if (!multi_)
    throw URLError(URLError::Code::unknown, "", CURLE_FAILED_INIT, "HTTP session: libcurl could not be set up");
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &SessionEngine::onSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &SessionEngine::onTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

SessionEngine::~SessionEngine() {
  stopped_ = true;
  releaseResources();
}

void SessionEngine::stop() {
  if (loop_.isCurrentThread()) return stopOnLoop();
  if (stopped_.exchange(true)) return;
  if (!submitted_) return releaseResources();  // the loop's thread never saw this engine
  std::promise<void> released;
  loop_.post([self = shared_from_this(), &released] {
    self->stopOnLoop();
    released.set_value();
  });
  released.get_future().wait();
}

void SessionEngine::stopOnLoop() {
  stopped_.store(true);
  if (busyDepth_ == 0) releaseResources();
}

template <typename Work>
void SessionEngine::busy(Work&& work) {
  const std::shared_ptr<SessionEngine> self = shared_from_this();
  struct Depth {
    SessionEngine& engine;
    explicit Depth(SessionEngine& e) : engine(e) { ++engine.busyDepth_; }
    ~Depth() {
      if (--engine.busyDepth_ == 0 && engine.stopped_) engine.releaseResources();
    }
  } depth(*this);
  work();
}

void SessionEngine::releaseResources() {
  if (!multi_) return;
  // Taken out first: what they hold (completions and what those capture) may reach back
  // into this engine while it is let go of.
  auto transfers = std::move(transfers_);
  auto unfinished = std::move(unfinished_);
  for (const auto& [request, id] : delayedRetries_) loop_.cancel(id);
  delayedRetries_.clear();
  // The completions that will never run are let go on the main thread, like every other.
  std::vector<DataRequest::Completion> cancelled;
  for (auto& [pointer, request] : unfinished) {
    if (request->completion_) cancelled.push_back(std::exchange(request->completion_, nullptr));
  }
  if (!cancelled.empty()) dispatch::MainQueue::main().async([cancelled = std::move(cancelled)] {});
  for (auto& [easy, transfer] : transfers) curl_multi_remove_handle(multi_, easy);
  for (CURL* easy : idleHandles_) curl_easy_cleanup(easy);
  idleHandles_.clear();
  curl_multi_cleanup(multi_);
  multi_ = nullptr;
  if (loopId_ != 0) loop_.remove(std::exchange(loopId_, 0));
}

void SessionEngine::submit(const std::shared_ptr<DataRequest>& request) {
  if (stopped_) return;
  submitted_ = true;
  loop_.post([self = shared_from_this(), request] { self->busy([&] { self->start(request); }); });
}

void SessionEngine::socketReady(int socket, int mask) {
  busy([&] {
    if (!stopped_) act(socket, mask);
  });
}

void SessionEngine::deadlinePassed() {
  busy([&] {
    if (!stopped_) act(CURL_SOCKET_TIMEOUT, 0);
  });
}

void SessionEngine::act(curl_socket_t socket, int mask) {
  int running = 0;
  curl_multi_socket_action(multi_, socket, mask, &running);
  int queued = 0;
  while (!stopped_) {
    CURLMsg* message = curl_multi_info_read(multi_, &queued);
    if (!message) break;
    if (message->msg == CURLMSG_DONE) transferDone(message->easy_handle, message->data.result);
  }
}

int SessionEngine::onSocket(CURL*, curl_socket_t socket, int what, void* context, void*) {
  const auto* engine = static_cast<SessionEngine*>(context);
  if (engine->loopId_ != 0) engine->loop_.watch(engine->loopId_, socket, what);
  return 0;
}

int SessionEngine::onTimer(CURLM*, long milliseconds, void* context) {
  const auto* engine = static_cast<SessionEngine*>(context);
  if (engine->loopId_ == 0) return 0;
  std::optional<IOLoop::TimePoint> deadline;
  if (milliseconds >= 0) deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  engine->loop_.setDeadline(engine->loopId_, deadline);
  return 0;
}

void SessionEngine::start(const std::shared_ptr<DataRequest>& request) {
  if (stopped_) return;
  if (loopId_ == 0) loopId_ = loop_.add(weak_from_this());
  unfinished_[request.get()] = request;
  startAttempt(request);
}

void SessionEngine::retry(const std::shared_ptr<DataRequest>& request) {
  delayedRetries_.erase(request.get());
  if (stopped_ || !unfinished_.contains(request.get())) return;
  request->retryCount_.fetch_add(1);
  startAttempt(request);
}

void SessionEngine::startAttempt(const std::shared_ptr<DataRequest>& request) {
  std::optional<URLRequest> made;
  try {
    made = request->convertible_->asURLRequest();
    made->validate();
  } catch (const RequestError& error) {
    return attemptFailed(request, DataResponse(std::nullopt, std::nullopt, std::nullopt, makeError(error)));
  } catch (...) {
    const auto error = makeError(RequestError::createURLRequestFailed(currentExceptionAsError()));
    return attemptFailed(request, DataResponse(std::nullopt, std::nullopt, std::nullopt, error));
  }
  if (request->interceptor_) {
    try {
      URLRequest adapted = request->interceptor_->adapt(*made, owner_);
      adapted.validate();
      made = std::move(adapted);
    } catch (...) {
      const auto error = makeError(RequestError::requestAdaptationFailed(currentExceptionAsError()));
      return attemptFailed(request, DataResponse(std::move(made), std::nullopt, std::nullopt, error));
    }
  }
  if (isSecure(*made) && !trust_.isLoaded()) {
    // The attempt goes once the authorities are in memory; loading them neither holds up
    // this thread nor counts against the attempt's time-outs.
    trust_.whenLoaded([engine = weak_from_this(), waiting = std::weak_ptr<DataRequest>(request),
                       adapted = std::move(*made)]() mutable {
      const auto held = engine.lock();
      if (!held) return;
      held->loop_.post(
          [engine = std::move(engine), waiting = std::move(waiting), adapted = std::move(adapted)]() mutable {
            auto self = engine.lock();
            auto request = waiting.lock();
            if (!self || !request) return;
            self->busy([&] {
              if (!self->stopped_ && self->unfinished_.contains(request.get())) self->send(request, std::move(adapted));
            });
          });
    });
    return;
  }
  send(request, std::move(*made));
}

void SessionEngine::send(const std::shared_ptr<DataRequest>& request, URLRequest urlRequest) {
  std::unique_ptr<Transfer> transfer = makeTransfer(request, std::move(urlRequest));
  if (!transfer) {
    const auto error = errorForCurlResult(CURLE_OUT_OF_MEMORY, false, kMaximumResponseBodySize, "", "");
    return attemptFailed(request, DataResponse(std::nullopt, std::nullopt, std::nullopt, error));
  }
  CURL* easy = transfer->easy;
  transfers_[easy] = std::move(transfer);
  curl_multi_add_handle(multi_, easy);
  act(CURL_SOCKET_TIMEOUT, 0);  // under way at once, without a turn of the loop
}

std::unique_ptr<SessionEngine::Transfer> SessionEngine::makeTransfer(const std::shared_ptr<DataRequest>& request,
                                                                     URLRequest urlRequest) {
  auto transfer = std::make_unique<Transfer>(std::move(urlRequest));
  transfer->request = request;
  transfer->url = transfer->urlRequest.url().absoluteString();
  CURL* easy = nullptr;
  if (!idleHandles_.empty()) {
    easy = idleHandles_.back();
    idleHandles_.pop_back();
  } else {
    easy = curl_easy_init();
  }
  if (!easy) return nullptr;
  transfer->easy = easy;
  const URLRequest& r = transfer->urlRequest;

  curl_easy_setopt(easy, CURLOPT_URL, transfer->url.c_str());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  if (trust_.apply(easy) != CURLE_OK) return nullptr;
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  // Redirects stay within the request's origin (checked in onHeader); libcurl is held to
  // the request's scheme as well, and sends no credentials of its own to another host.
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, isSecure(r) ? "https" : "http");
  curl_easy_setopt(easy, CURLOPT_UNRESTRICTED_AUTH, 0L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 16L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);

  // The total limit runs from the start of the attempt; the idle limit is the shorter of
  // the request's and the session's, and also bounds connecting.
  const double idle = std::min(r.timeoutInterval(), configuration_.timeoutIntervalForRequest);
  const double total = configuration_.timeoutIntervalForResource;
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds(total));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(std::min(idle, total)));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max(1L, (milliseconds(idle) + 999) / 1000));

  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &SessionEngine::onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &SessionEngine::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());

  const std::optional<std::string>& body = r.httpBody();
  switch (r.method()) {
    case HTTPMethod::get: curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L); break;
    case HTTPMethod::head: curl_easy_setopt(easy, CURLOPT_NOBODY, 1L); break;
    case HTTPMethod::post: curl_easy_setopt(easy, CURLOPT_POST, 1L); break;
    default: curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, std::string(rawValue(r.method())).c_str()); break;
  }
  if (r.method() == HTTPMethod::post || (body && r.method() != HTTPMethod::head)) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body ? body->size() : 0));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body ? body->data() : "");
  }

  // Header fields exactly as the request holds them. libcurl would add "Accept: */*", a
  // form content type to a body that has none, and ask for "100-continue" on large
  // bodies: all off.
  for (const HTTPHeader& header : r.headers()) {
    const std::string line = header.value.empty() ? header.name + ";" : header.name + ": " + header.value;
    transfer->headerList = curl_slist_append(transfer->headerList, line.c_str());
  }
  if (!r.headers().value("Content-Type")) {
    transfer->headerList = curl_slist_append(transfer->headerList, "Content-Type:");
  }
  if (!r.headers().value("Accept")) transfer->headerList = curl_slist_append(transfer->headerList, "Accept:");
  if (!r.headers().value("Expect")) transfer->headerList = curl_slist_append(transfer->headerList, "Expect:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headerList);
  return transfer;
}

void SessionEngine::recycle(std::unique_ptr<Transfer> transfer) {
  CURL* easy = std::exchange(transfer->easy, nullptr);
  if (idleHandles_.size() < kIdleHandlesKept) {
    curl_easy_reset(easy);
    idleHandles_.push_back(easy);
  } else {
    curl_easy_cleanup(easy);
  }
}

size_t SessionEngine::onBody(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const size_t bytes = size * count;
  transfer->bodyReceived = transfer->bodyReceived || bytes > 0;
  if (transfer->body.size() + bytes > kMaximumResponseBodySize) {
    transfer->tooLarge = true;
    return 0;  // aborts the transfer
  }
  transfer->body.append(data, bytes);
  return bytes;
}

size_t SessionEngine::onHeader(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const size_t bytes = size * count;
  const std::string_view line(data, bytes);
  if (line.starts_with("HTTP/")) {
    // A new reply begins (after an interim reply or a redirect).
    transfer->responseHeaders = HTTPHeaders();
    transfer->status = 0;
    const auto space = line.find(' ');
    if (space != std::string_view::npos) {
      int status = 0;
      for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        status = status * 10 + (line[i] - '0');
        if (status > 999) break;
      }
      transfer->status = status;
    }
    return bytes;
  }
  const auto colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return bytes;
  const std::string name = trimmed(line.substr(0, colon));
  const std::string value = trimmed(line.substr(colon + 1));
  transfer->responseHeaders.add(name, value);
  if (headerNamesEqual(name, "Location")) {
    transfer->redirect = judgeRedirect(transfer->status, transfer->url, value);
    if (transfer->redirect != RedirectVerdict::follow) {
      transfer->redirectLocation = value;
      return 0;  // aborts the transfer before libcurl follows
    }
  }
  // A final reply that announces a body over the limit is refused before it arrives.
  const bool final = transfer->status >= 200 && (transfer->status < 300 || transfer->status >= 400);
  if (final && transfer->urlRequest.method() != HTTPMethod::head && headerNamesEqual(name, "Content-Length")) {
    const unsigned long long length = std::strtoull(value.c_str(), nullptr, 10);
    if (length > kMaximumResponseBodySize) {
      transfer->tooLarge = true;
      return 0;
    }
  }
  return bytes;
}

void SessionEngine::transferDone(CURL* easy, CURLcode code) {
  curl_multi_remove_handle(multi_, easy);
  auto found = transfers_.find(easy);
  if (found == transfers_.end()) return;
  std::unique_ptr<Transfer> transfer = std::move(found->second);
  transfers_.erase(found);

  std::shared_ptr<const Error> error;
  std::optional<HTTPURLResponse> response;
  if (transfer->redirect != RedirectVerdict::follow) {
    error = refusedRedirectError(transfer->redirect, transfer->url, transfer->redirectLocation);
  } else if (code != CURLE_OK) {
    error =
        errorForCurlResult(code, transfer->tooLarge, kMaximumResponseBodySize, transfer->url, transfer->errorBuffer);
  } else {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    response = HTTPURLResponse{static_cast<int>(status), transfer->responseHeaders};
    transfer->status = static_cast<int>(status);
    error = validateReply(*transfer->request, *transfer);
  }
  std::optional<std::string> data;
  if (transfer->bodyReceived && !transfer->tooLarge) data = std::move(transfer->body);
  DataResponse outcome(std::move(transfer->urlRequest), std::move(response), std::move(data), error);
  const std::shared_ptr<DataRequest> request = std::move(transfer->request);
  // The outcome goes on its way first; taking back the handle is no part of the reply.
  if (error) {
    attemptFailed(request, std::move(outcome));
  } else {
    finish(request, std::move(outcome));
  }
  recycle(std::move(transfer));
}

std::shared_ptr<const Error> SessionEngine::validateReply(const DataRequest& request, const Transfer& transfer) const {
  const int status = transfer.status;
  const bool hasBody = transfer.bodyReceived && !transfer.body.empty();
  if (request.validates_) {
    if (status < 200 || status >= 300) return makeError(RequestError::unacceptableStatusCode(status));
    const std::optional<std::string> accept = transfer.urlRequest.headers().value("Accept");
    if (hasBody && accept) {
      // Without an Accept header any type is accepted.
      std::vector<std::string> acceptable;
      std::string_view rest = *accept;
      while (true) {
        const auto comma = rest.find(',');
        acceptable.emplace_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
      const auto contentType = transfer.responseHeaders.value("Content-Type");
      const std::string actual = contentType ? mimeType(*contentType) : std::string();
      const bool accepted = std::any_of(acceptable.begin(), acceptable.end(), [&](const std::string& type) {
        const std::string wanted = mimeType(type);
        return wanted == "*/*" || (!actual.empty() && mimeTypeMatches(wanted, actual));
      });
      if (!accepted) return makeError(RequestError::unacceptableContentType(acceptable, actual));
    }
  }
  const bool emptyAllowed = status == 204 || status == 205 || transfer.urlRequest.method() == HTTPMethod::head;
  if (!hasBody && !emptyAllowed) return makeError(RequestError::inputDataNilOrZeroLength());
  return nullptr;
}

void SessionEngine::attemptFailed(const std::shared_ptr<DataRequest>& request, DataResponse failed) {
  RetryResult decision = RetryResult::doNotRetry();
  if (request->interceptor_) {
    try {
      decision = request->interceptor_->retry(*request, owner_, *failed.error());
    } catch (...) {
      decision = RetryResult::doNotRetry();
    }
  }
  switch (decision.kind()) {
    case RetryResult::Kind::retry:
    case RetryResult::Kind::retryWithDelay: {
      double seconds = 0;
      if (decision.kind() == RetryResult::Kind::retryWithDelay && std::isfinite(decision.delay())) {
        seconds = std::clamp(decision.delay(), 0.0, 1e7);
      }
      auto again = [engine = weak_from_this(), waiting = std::weak_ptr<DataRequest>(request)] {
        auto self = engine.lock();
        auto request = waiting.lock();
        if (self && request) self->busy([&] { self->retry(request); });
      };
      if (seconds > 0) {
        const auto delay = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(seconds));
        delayedRetries_[request.get()] = loop_.postAfter(delay, std::move(again));
      } else {
        loop_.post(std::move(again));
      }
      return;
    }
    case RetryResult::Kind::doNotRetryWithError: {
      std::shared_ptr<const Error> retryError = decision.error() ? decision.error() : failed.error();
      DataResponse outcome(failed.request(), failed.response(), failed.data(),
                           makeError(RequestError::requestRetryFailed(std::move(retryError), failed.error())));
      finish(request, std::move(outcome));
      return;
    }
    case RetryResult::Kind::doNotRetry: finish(request, std::move(failed)); return;
  }
}

void SessionEngine::finish(const std::shared_ptr<DataRequest>& request, DataResponse response) {
  // The completion leaves the loop's thread with the task that runs it, so that whatever it
  // holds is released on the main thread.
  DataRequest::Completion completion = std::move(request->completion_);
  request->completion_ = nullptr;
  unfinished_.erase(request.get());
  if (!completion) return;
  dispatch::MainQueue::main().async(
      [engine = weak_from_this(), completion = std::move(completion), response = std::move(response)]() mutable {
        {
          auto self = engine.lock();
          if (!self || self->stopped()) return;
        }
        completion(std::move(response));
      });
}

}  // namespace keln::http
