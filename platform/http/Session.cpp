#include "http/Session.h"

namespace keln::http {

class SessionEngine {
 public:
  static std::shared_ptr<DataRequest> make(std::shared_ptr<const URLRequestConvertible> convertible,
                                           RequestInterceptor* interceptor) {
    return std::shared_ptr<DataRequest>(new DataRequest({}, std::move(convertible), interceptor));
  }
};

Session::Session(SessionConfiguration configuration) : configuration_(std::move(configuration)) {}

Session::~Session() = default;

std::shared_ptr<DataRequest> Session::request(std::shared_ptr<const URLRequestConvertible> convertible,
                                              RequestInterceptor* interceptor) {
  return SessionEngine::make(std::move(convertible), interceptor);
}

}  // namespace keln::http
