// Passwords and secrets of the bench page, with libsodium: Argon2id hashes of the users'
// passwords, random tokens, and comparisons that take the same time whatever they find.
#pragma once

#include <string>

namespace kvtweb {

// The Argon2id hash of a password as the lab file keeps it ("$argon2id$v=19$m=...").
std::string hashPassword(const std::string& password);
// Whether the password is the one the hash was made of; false for a hash that is not one.
bool passwordMatches(const std::string& hash, const std::string& password);

// 32 random bytes as 64 hex digits.
std::string randomToken();
// A keyed hash of the text, as hex: the same for the same key and text, unguessable without
// the key.
std::string keyedHash(const std::string& key, const std::string& text);
// Whether two texts are equal, in a time that does not depend on where they differ.
bool sameSecret(const std::string& a, const std::string& b);

}  // namespace kvtweb
