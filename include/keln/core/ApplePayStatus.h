#pragma once

namespace keln {

// How an Apple Pay sheet ended.
enum class ApplePayStatus {
  userCancelled,  // the user closed the sheet without paying
  success,        // the user authorized the payment and the sheet closed
  error,          // the sheet could not be shown
};

}  // namespace keln
