#include "formats/Failure.h"

namespace orvanta {

ConversionError InvalidInteger(const std::string& text) {
    return ConversionError("'" + text + "' is not a valid integer value");
}

}  // namespace orvanta
