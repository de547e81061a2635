#include "passwords.h"

#include <sodium.h>

#include <vector>

#include "base/error.h"

namespace kvtweb {
namespace {

void ready() {
    static const int started = sodium_init();
    if (started < 0) throw kvtapp::calibratorError("libsodium cannot start on this machine");
}

std::string hex(const unsigned char* bytes, size_t size) {
    std::vector<char> text(size * 2 + 1);
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    return text.data();
}

}  // namespace

std::string hashPassword(const std::string& password) {
    ready();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw kvtapp::calibratorError("not enough memory to hash the password");
    }
    return hash;
}

bool passwordMatches(const std::string& hash, const std::string& password) {
    ready();
    if (hash.size() >= crypto_pwhash_STRBYTES || hash.rfind("$argon2id$", 0) != 0) return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string randomToken() {
    ready();
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return hex(bytes, sizeof bytes);
}

std::string keyedHash(const std::string& key, const std::string& text) {
    ready();
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(text.data()),
                       text.size(), reinterpret_cast<const unsigned char*>(key.data()),
                       std::min<size_t>(key.size(), crypto_generichash_KEYBYTES_MAX));
    return hex(digest, sizeof digest);
}

bool sameSecret(const std::string& a, const std::string& b) {
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace kvtweb
