#include "http/DataRequest.h"

#include "http/SessionEngine.h"

namespace keln::http {

DataRequest::DataRequest(std::weak_ptr<SessionEngine> engine, std::shared_ptr<const URLRequestConvertible> convertible,
                         RequestInterceptor* interceptor)
    : engine_(std::move(engine)), convertible_(std::move(convertible)), interceptor_(interceptor) {}

DataRequest& DataRequest::validate() {
  validates_ = true;
  return *this;
}

DataRequest& DataRequest::responseData(Completion completion) {
  if (started_) return *this;
  started_ = true;
  completion_ = std::move(completion);
  if (auto engine = engine_.lock()) engine->submit(shared_from_this());
  return *this;
}

}  // namespace keln::http
