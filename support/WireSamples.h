#pragma once

// Gateway replies as the gateway sends them, for the wire model's tests and benchmarks.

namespace keln::samples {

// A checkout reply with every key, a token list, two regulations and a payment-method
// payload (Base64 of the JSON in kExternalParameter).
inline const char* const kCheckoutReply = R"({
  "amount": {"currency": "PLN", "value": 149.99},
  "merchant": {"terminalId": "1234", "merchantTransactionId": "order-2024-0001", "websiteAddress": "https://shop.example",
               "channel": "web", "shopURL": "https://shop.example/cart", "transactionDescription": "Order 2024-0001"},
  "transactionID": "3f2c9a7e-5b1d-4e8a-9c6f-1a2b3c4d5e6f",
  "transactionSignature": "c2lnbmF0dXJlLW9mLXRoZS10cmFuc2FjdGlvbg==",
  "formContext": "eyJ0ZXJtaW5hbElkIjoiMTIzNCIsInBheW1lbnRNZXRob2RzIjpbIkNBUkQiLCJYUEFZIiwiQkxJSyJdLCJsYW5ndWFnZSI6InBsIn0=",
  "tokenList": [
    {"tokenName": "Visa", "tokenType": "CARD", "value": "tok_4f5e6d", "maskedPAN": "4111********1111", "expireDate": "12/30"},
    {"tokenType": "CARD", "value": "tok_9a8b7c"}
  ],
  "execution": {"startTime": "2024-05-01T10:00:00.000Z", "endTime": "2024-05-01T10:00:00.250Z"},
  "returnStatus": {"statusCode": "0000", "statusMsg": "OK", "statusDescription": "Checkout created"},
  "regulationList": [
    {"identification": "reg-1", "type": "TERMS", "language": "pl", "label": "Regulamin",
     "regulationURL": "https://gateway.example/terms", "logoURL": "https://gateway.example/logo.png"},
    {"identification": "reg-2", "type": "PRIVACY"}
  ],
  "expiry": "2024-05-01T10:15:00.000Z",
  "paymentMethodList": ["CARD", "XPAY", "BLIK", "PAY_BY_LINK"],
  "externalParameter": "eyJCTlBMIjp7IkdlbmVyaWNEYXRhIjp7IkVudmlyb25tZW50IjoiVEVTVCIsIkVudGl0eUlkIjoiOGFjN2E0YzgiLCJBY2NlcHRvckNvdW50cnlDb2RlIjoiUEwifX0sIlhQQVkiOnsiR2VuZXJpY0RhdGEiOnsiRW52aXJvbm1lbnQiOiJURVNUIiwiRW50aXR5SWQiOiI4YWM3YTRjOSIsIkFjY2VwdG9yQ291bnRyeUNvZGUiOiJQTCJ9LCJHb29nbGVQYXlEYXRhRWxlbWVudCI6eyJHYXRld2F5TWVyY2hhbnRJZCI6Imd3LW1lcmNoYW50LTEiLCJHYXRld2F5TmFtZSI6ImtlbG5nYXRld2F5IiwiR29vZ2xlTWVyY2hhbnRJZCI6IkJDUjJETjRUIiwiR29vZ2xlTWVyY2hhbnROYW1lIjoiRGVtbyBTaG9wIiwiVG9rZW5pemF0aW9uU3BlYyI6IlBBWU1FTlRfR0FURVdBWSJ9LCJBcHBsZVBheURhdGFFbGVtZW50Ijp7IlJGVSI6IiIsIkFwcGxlTWVyY2hhbnROYW1lIjoiRGVtbyBTaG9wIn19LCJQUFJPIjp7IkdlbmVyaWNEYXRhIjp7IkVudmlyb25tZW50IjoiVEVTVCJ9fSwiU1BERCI6e319",
  "actionResponse": {"data": {"params": ["redirect", "https://gateway.example/3ds"]}}
})";

// The payment-method payload that kCheckoutReply carries in "externalParameter".
inline const char* const kExternalParameter =
    R"({"BNPL":{"GenericData":{"Environment":"TEST","EntityId":"8ac7a4c8","AcceptorCountryCode":"PL"}},)"
    R"("XPAY":{"GenericData":{"Environment":"TEST","EntityId":"8ac7a4c9","AcceptorCountryCode":"PL"},)"
    R"("GooglePayDataElement":{"GatewayMerchantId":"gw-merchant-1","GatewayName":"kelngateway",)"
    R"("GoogleMerchantId":"BCR2DN4T","GoogleMerchantName":"Demo Shop","TokenizationSpec":"PAYMENT_GATEWAY"},)"
    R"("ApplePayDataElement":{"RFU":"","AppleMerchantName":"Demo Shop"}},)"
    R"("PPRO":{"GenericData":{"Environment":"TEST"}},"SPDD":{}})";

// A status reply with a token, an unread "websiteAddress" and a key outside the table.
inline const char* const kStatusReply = R"({
  "merchant": {"terminalId": "007", "merchantTransactionId": "mt-1", "websiteAddress": "https://shop.example",
               "channel": "web", "shopURL": "https://shop.example/cart", "transactionDescription": "Order 1"},
  "transactionID": "tx-42",
  "paymentType": "PURS",
  "paymentStatus": "InProcessing",
  "paymentMethod": "SOMETHING_NEW",
  "execution": {"startTime": "2024-05-01T10:00:00Z", "endTime": "2024-05-01T10:00:05Z"},
  "returnStatus": {"statusCode": "0", "statusMsg": "OK", "statusDescription": "Accepted"},
  "token": {"tokenName": "visa", "tokenType": "CARD", "value": "tok-1", "maskedPAN": "4111********1111",
            "expireDate": "12/30"},
  "amount": {"currency": "PLN", "value": 1}
})";

}  // namespace keln::samples
