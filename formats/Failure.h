#pragma once

#include <stdexcept>
#include <string>

namespace orvanta {

// Every failure the program reports derives from this. The message is what the user
// reads in the error box, so it must stand on its own.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that must hold a number or a valid date or time does not.
class ConversionError : public Failure {
public:
    using Failure::Failure;
};

// An edit that the item's payload cannot take, such as a reminder for an event whose
// payload holds no VEVENT.
class ItemError : public Failure {
public:
    using Failure::Failure;
};

// "'%s' is not a valid integer value" with the offending text.
[[nodiscard]] ConversionError InvalidInteger(const std::string& text);

}  // namespace orvanta
