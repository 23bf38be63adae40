#pragma once

#include <string>

namespace keln::foundation {

// The platform's standard text of a double: the shortest digits that read back as the
// same value, always with a "." or an exponent. Decimal unless |x| < 1e-4 or |x| > 2^53:
// 0.0, -0.0, 10.0, 0.1, 0.0001, 9007199254740992.0, 1e-05, 1.5e-07, 1e+16, 5e-324,
// nan, inf, -inf.
std::string doubleDescription(double value);

}  // namespace keln::foundation
