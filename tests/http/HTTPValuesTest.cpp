#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <keln/foundation/Result.h>

#include "http/HTTPHeaders.h"
#include "http/ParameterEncoding.h"
#include "http/RedirectPolicy.h"
#include "http/RequestError.h"
#include "http/URLError.h"
#include "http/URLRequest.h"

namespace keln::http {
namespace {

class TextError final : public Error {
 public:
  explicit TextError(std::string text) : text_(std::move(text)) {}
  std::string description() const override { return "TextError(\"" + text_ + "\")"; }
  std::string localizedDescription() const override { return text_; }

 private:
  std::string text_;
};

URLRequest requestTo(const char* url) { return URLRequest(*foundation::URL::parse(url)); }

TEST(HTTPHeaders, ReplacesInPlaceIgnoringCase) {
  HTTPHeaders headers{{"Content-Type", "text/plain"}, {"Authorization", "Bearer a"}};
  headers.add("X-IBM-Client-Id", "client");
  headers.add("content-type", "application/json");
  headers.update(HTTPHeader{"AUTHORIZATION", "Bearer b"});

  EXPECT_EQ(headers.description(), "content-type: application/json\nAUTHORIZATION: Bearer b\nX-IBM-Client-Id: client");
  EXPECT_EQ(headers.value("CONTENT-TYPE"), "application/json");
  EXPECT_EQ(headers.value("x-ibm-client-id"), "client");
  EXPECT_EQ(headers.value("Accept"), std::nullopt);

  headers.remove("Authorization");
  EXPECT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers.description(), "content-type: application/json\nX-IBM-Client-Id: client");
  EXPECT_EQ(HTTPHeaders().description(), "");
}

TEST(JSONEncoding, WritesParametersAsTheBody) {
  const JSONEncoding& encoding = JSONEncoding::defaultEncoding();

  const URLRequest untouched = encoding.encode(requestTo("https://h/x"), std::nullopt);
  EXPECT_EQ(untouched.httpBody(), std::nullopt);
  EXPECT_TRUE(untouched.headers().empty());

  const URLRequest empty = encoding.encode(requestTo("https://h/x"), Parameters::object());
  EXPECT_EQ(empty.httpBody(), "{}");
  EXPECT_EQ(empty.headers().description(), "Content-Type: application/json");

  Parameters parameters = {{"url", "https://shop/x"}, {"amount", 10.0}, {"nested", {{"n", 1}}}};
  const URLRequest written = encoding.encode(requestTo("https://h/x"), parameters);
  EXPECT_EQ(written.httpBody(), R"({"url":"https:\/\/shop\/x","amount":10,"nested":{"n":1}})");

  URLRequest typed = requestTo("https://h/x");
  typed.headers().add("content-type", "application/vnd.custom+json");
  EXPECT_EQ(encoding.encode(typed, parameters).headers().description(), "content-type: application/vnd.custom+json");
}

TEST(JSONEncoding, RefusesWhatJSONCannotHold) {
  const Parameters refused[] = {
      {{"amount", std::numeric_limits<double>::quiet_NaN()}},
      {{"amount", std::numeric_limits<double>::infinity()}},
      {{"text", std::string("\xC3\x28")}},
      Parameters::array({1, 2}),
      Parameters("text"),
  };
  for (const Parameters& parameters : refused) {
    SCOPED_TRACE(parameters.type_name());
    try {
      JSONEncoding::defaultEncoding().encode(requestTo("https://h/x"), parameters);
      ADD_FAILURE() << "encoded";
    } catch (const RequestError& error) {
      EXPECT_EQ(error.kind(), RequestError::Kind::parameterEncodingFailed);
      EXPECT_EQ(error.localizedDescription(),
                "JSON could not be encoded because of error:\n"
                "Invalid JSON object provided for parameter or object encoding.");
    }
  }
}

TEST(URLRequest, RefusesRequestsThatMustNotBeSent) {
  URLRequest get = requestTo("https://h/x");
  EXPECT_NO_THROW(get.validate());
  get.setHTTPBody("");
  EXPECT_THROW(get.validate(), RequestError);
  get.setMethod(HTTPMethod::post);
  EXPECT_NO_THROW(get.validate());

  const HTTPHeader bad[] = {{"Authorization", "Bearer x\r\nX-Injected: 1"},
                            {"Authorization", std::string("Bearer x\0y", 10)},
                            {"Bad Name", "v"},
                            {"Bad:Name", "v"},
                            {"", "v"}};
  for (const HTTPHeader& header : bad) {
    SCOPED_TRACE(header.name + "=" + header.value);
    URLRequest request = requestTo("https://h/x");
    request.headers().add(header);
    try {
      request.validate();
      ADD_FAILURE() << "accepted";
    } catch (const RequestError& error) {
      EXPECT_EQ(error.validationReason(), RequestError::ValidationReason::invalidHeaderField);
      EXPECT_EQ(error.description().find("Bearer"), std::string::npos);
      EXPECT_EQ(error.localizedDescription().find("Bearer"), std::string::npos);
    }
  }
  URLRequest spaced = requestTo("https://h/x");
  spaced.headers().add("Authorization", " Bearer  token ");
  EXPECT_NO_THROW(spaced.validate());
}

TEST(RedirectPolicy, FollowsOnlyWithinTheOrigin) {
  struct Case {
    int status;
    const char* from;
    const char* location;
    RedirectVerdict verdict;
  };
  using enum RedirectVerdict;
  const Case cases[] = {
      {302, "https://gw.example/a", "/b", follow},
      {301, "https://gw.example/a/b", "c?x=1", follow},
      {307, "https://gw.example/a", "HTTPS://GW.EXAMPLE:443/b", follow},
      {308, "http://127.0.0.1:8080/a", "http://127.0.0.1:8080/b", follow},
      {302, "https://gw.example/a", "http://gw.example/b", refuseInsecure},
      {303, "https://gw.example/a", "//gw.example:80/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "ftp://gw.example/b", refuseInsecure},
      {302, "http://gw.example/a", "https://gw.example/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "https://other.example/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "//other.example/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "https://gw.example:8443/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "https://gw.example.evil.example/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "https://gw.example@evil.example/b", refuseOtherOrigin},
      {302, "https://gw.example/a", "http://[::1", refuseOtherOrigin},
      {304, "https://gw.example/a", "http://other.example/b", follow},
      {200, "https://gw.example/a", "http://other.example/b", follow},
      {302, "https://gw.example/a", "", follow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.from + " -> " + c.location);
    EXPECT_EQ(judgeRedirect(c.status, c.from, c.location), c.verdict);
  }
}

TEST(RequestError, DescribesEachCase) {
  struct Case {
    RequestError error;
    const char* description;
    const char* localized;
  };
  const auto inner = makeError(TextError("Missing baseURL"));
  const auto timeout = makeError(URLError(URLError::Code::timedOut, "https://h/x", 28, "Operation timed out"));
  const Case cases[] = {
      {RequestError::unacceptableStatusCode(500),
       "responseValidationFailed(reason: RequestError.ResponseValidationFailureReason.unacceptableStatusCode(code: "
       "500))",
       "Response status code was unacceptable: 500."},
      {RequestError::unacceptableContentType({"text/plain", "application/json"}, "text/html"),
       "responseValidationFailed(reason: RequestError.ResponseValidationFailureReason.unacceptableContentType("
       "acceptableContentTypes: [\"text/plain\", \"application/json\"], responseContentType: \"text/html\"))",
       "Response Content-Type \"text/html\" does not match any acceptable types: application/json,text/plain."},
      {RequestError::inputDataNilOrZeroLength(),
       "responseSerializationFailed(reason: RequestError.ResponseSerializationFailureReason.inputDataNilOrZeroLength)",
       "Response could not be serialized, input data was nil or zero length."},
      {RequestError::createURLRequestFailed(inner), "createURLRequestFailed(error: TextError(\"Missing baseURL\"))",
       "URLRequest creation failed with error: Missing baseURL"},
      {RequestError::requestAdaptationFailed(inner), "requestAdaptationFailed(error: TextError(\"Missing baseURL\"))",
       "Request adaption failed with error: Missing baseURL"},
      {RequestError::requestRetryFailed(inner, makeError(RequestError::unacceptableStatusCode(503))),
       "requestRetryFailed(retryError: TextError(\"Missing baseURL\"), originalError: responseValidationFailed(reason: "
       "RequestError.ResponseValidationFailureReason.unacceptableStatusCode(code: 503)))",
       "Request retry failed with retry error: Missing baseURL, original error: Response status code was "
       "unacceptable: 503."},
      {RequestError::sessionTaskFailed(timeout),
       "sessionTaskFailed(error: Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\" "
       "UserInfo={NSErrorFailingURLStringKey=https://h/x, NSLocalizedDescription=The request timed out., "
       "curlCode=28, curlMessage=Operation timed out})",
       "URLSessionTask failed with error: The request timed out."},
      {RequestError::responseTooLarge(8388608), "responseTooLarge(limit: 8388608)",
       "Response body exceeded the maximum size of 8388608 bytes."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.localized);
    EXPECT_EQ(c.error.description(), c.description);
    EXPECT_EQ(c.error.localizedDescription(), c.localized);
  }
}

}  // namespace
}  // namespace keln::http
