#pragma once

#include <keln/Export.h>

// Parts of the gateway's checkout reply that hosts may decode and read themselves: the
// follow-up action and the checkout's card token record.
//
// Values come into being only by decoding; they are immutable, hold no shared state and
// may be copied and read on any thread. Decoding throws keln::foundation::DecodingError at
// the first key that fails and yields nothing partial.

#include <optional>
#include <string>
#include <vector>

#include <keln/foundation/JSONCoding.h>

namespace keln {

// The parameters of the gateway's follow-up action.
class KELN_EXPORT ActionResponseData {
 public:
  const std::vector<std::string>& params() const { return params_; }

  void encode(foundation::Encoder& encoder) const;
  static ActionResponseData decode(const foundation::Decoder& decoder);

 private:
  explicit ActionResponseData(std::vector<std::string> params);

  std::vector<std::string> params_;
};

// The gateway's follow-up action for a checkout.
class KELN_EXPORT ActionResponse {
 public:
  const ActionResponseData& data() const { return data_; }

  void encode(foundation::Encoder& encoder) const;
  static ActionResponse decode(const foundation::Decoder& decoder);

 private:
  explicit ActionResponse(ActionResponseData data);

  ActionResponseData data_;
};

// A card token record with keys of its own: "name", "type", "value", "maskedPANval" and
// "expireData" (for `expireDate`). Not interchangeable with Token on the wire.
class KELN_EXPORT CheckoutToken {
 public:
  const std::optional<std::string>& name() const { return name_; }
  const std::string& type() const { return type_; }
  const std::string& value() const { return value_; }
  const std::optional<std::string>& maskedPANval() const { return maskedPANval_; }
  const std::optional<std::string>& expireDate() const { return expireDate_; }

  void encode(foundation::Encoder& encoder) const;
  static CheckoutToken decode(const foundation::Decoder& decoder);

 private:
  CheckoutToken(std::optional<std::string> name, std::string type, std::string value,
                std::optional<std::string> maskedPANval, std::optional<std::string> expireDate);

  std::optional<std::string> name_;
  std::string type_;
  std::string value_;
  std::optional<std::string> maskedPANval_;
  std::optional<std::string> expireDate_;
};

}  // namespace keln
