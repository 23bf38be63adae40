#include "http/CurlErrorMapping.h"

#include <keln/foundation/Result.h>

#include "http/RequestError.h"

namespace keln::http {

URLError::Code urlErrorCode(CURLcode code) {
  using Code = URLError::Code;
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return Code::timedOut;
    case CURLE_COULDNT_CONNECT: return Code::cannotConnectToHost;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return Code::cannotFindHost;
    case CURLE_UNSUPPORTED_PROTOCOL: return Code::unsupportedURL;
    case CURLE_URL_MALFORMAT: return Code::badURL;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return Code::networkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS: return Code::httpTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3: return Code::badServerResponse;
    case CURLE_BAD_CONTENT_ENCODING: return Code::cannotParseResponse;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return Code::serverCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CLIENTCERT: return Code::secureConnectionFailed;
    case CURLE_ABORTED_BY_CALLBACK: return Code::cancelled;
    default: return Code::unknown;
  }
}

std::shared_ptr<const Error> errorForCurlResult(CURLcode code, bool bodyTooLarge, std::size_t bodyLimit,
                                                const std::string& url, const std::string& message) {
  if (bodyTooLarge) return makeError(RequestError::responseTooLarge(bodyLimit));
  std::string detail = message.empty() ? curl_easy_strerror(code) : message;
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
  return makeError(RequestError::sessionTaskFailed(
      makeError(URLError(urlErrorCode(code), url, static_cast<int>(code), std::move(detail)))));
}

}  // namespace keln::http
