#pragma once

#include <cstdint>

namespace kvtlnk {

// Runs the body of an exported call so that nothing is thrown into the caller's process: an
// exception (in practice std::bad_alloc) becomes the given result code.
template <class Body>
uint32_t guarded(uint32_t onException, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onException;
    }
}

template <class Body>
void guardedVoid(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace kvtlnk
