// The SHA-256 of records and results, the keys that make adding the same thing twice a no-op:
// OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "archive/archive.h"

namespace kvtarchive {

std::string sha256Hex(const std::vector<uint8_t>& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        throw ArchiveError("libcrypto could not compute a SHA-256");
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0xF];
    }
    return hex;
}

}  // namespace kvtarchive
