#include "http/Session.h"

#include "http/SessionEngine.h"

namespace keln::http {

Session::Session(SessionConfiguration configuration)
    : configuration_(std::move(configuration)), engine_(std::make_shared<SessionEngine>(*this, configuration_)) {}

Session::~Session() { engine_->stop(); }

std::shared_ptr<DataRequest> Session::request(std::shared_ptr<const URLRequestConvertible> convertible,
                                              RequestInterceptor* interceptor) {
  return engine_->makeRequest(std::move(convertible), interceptor);
}

}  // namespace keln::http
