#pragma once

namespace kvtlnk {

// Writes value to an output that the caller may have left out (NULL).
template <class T>
void put(T* out, T value) {
    if (out != nullptr) *out = value;
}

}  // namespace kvtlnk
