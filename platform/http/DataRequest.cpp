#include "http/DataRequest.h"

namespace keln::http {

DataRequest::DataRequest(std::weak_ptr<SessionEngine> engine, std::shared_ptr<const URLRequestConvertible> convertible,
                         RequestInterceptor* interceptor)
    : engine_(std::move(engine)), convertible_(std::move(convertible)), interceptor_(interceptor) {}

DataRequest& DataRequest::validate() {
  validates_ = true;
  return *this;
}

DataRequest& DataRequest::responseData(Completion completion) {
  completion_ = std::move(completion);
  started_ = true;
  return *this;
}

}  // namespace keln::http
