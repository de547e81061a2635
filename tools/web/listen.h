// Where the bench page listens, and what that means for who may reach it.
#pragma once

#include <string>

namespace kvtweb {

struct ListenAddress {
    std::string host;  // "127.0.0.1", "0.0.0.0", "::1", "192.168.1.20"
    int port = 8027;
    // Only this machine can connect: 127.0.0.0/8, ::1 or "localhost".
    bool loopback() const;
    // "127.0.0.1:8027", "[::1]:8027".
    std::string text() const;
};

// "HOST:PORT", "[IPv6]:PORT", ":PORT" (loopback) or "PORT"; an input Error saying what is
// wrong otherwise.
ListenAddress parseListen(const std::string& text);

// An archive's location as a page may show it: the password of a PostgreSQL URI or connection
// string replaced by "***".
std::string shownLocation(const std::string& location);

// A message with every appearance of the location's password replaced by "***", for texts that
// may quote the location (an archive's failure).
std::string withoutPassword(std::string message, const std::string& location);

}  // namespace kvtweb
