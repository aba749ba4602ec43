// The one exception type of the pipeline and the codec adapters: it carries the fixed
// message text that ends a run and reaches the user.
#pragma once

#include <stdexcept>
#include <string>

class EAuException : public std::runtime_error {
public:
    explicit EAuException(const std::string& message) : std::runtime_error(message) {}
};
