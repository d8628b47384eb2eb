// What a calculator command returns: success, or the error text that ends it (shown in an
// error box by the window and on standard error by the command line).
#pragma once

#include <string>

namespace ambrel {

struct CalcResult {
    bool ok = true;
    std::string error;

    static CalcResult failure(std::string text) { return CalcResult{false, std::move(text)}; }
};

} // namespace ambrel
