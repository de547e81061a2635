// Counts in words and figures: "1 task", "2 tasks", "1,048,576".
#pragma once

#include <cstdint>
#include <string>

namespace kvtapp {

// many is the plural when it is not the noun and an "s".
inline std::string plural(size_t count, const std::string& noun, const std::string& many = "") {
    return std::to_string(count) + " " + (count == 1 ? noun : many.empty() ? noun + "s" : many);
}

// A whole number with its thousands grouped.
inline std::string grouped(uint64_t n) {
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

}  // namespace kvtapp
