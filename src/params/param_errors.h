// Errors raised by parameter descriptions and conversions: a text that does not convert to a number, a
// number beyond its field, a print mask that does not fit the value. Any thread.
#pragma once

#include <stdexcept>

namespace velmora {

class ParamError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A number in a description (CALC, FONT_SIZE) that is not a number.
class ConvertError : public ParamError {
    using ParamError::ParamError;
};

// A number that is a number but does not fit its field (a divisor above 65535, a table y beyond 16 bits).
class RangeError : public ParamError {
    using ParamError::ParamError;
};

// A print mask that is malformed or does not fit the value (an integer mask on a floating value).
class FormatError : public ParamError {
    using ParamError::ParamError;
};

} // namespace velmora
