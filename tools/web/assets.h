// The style sheet and script of the bench page, compiled into the program.
#pragma once

#include <string>

namespace kvtweb {

struct Asset {
    const char* name;  // "style.css"
    const char* type;  // its Content-Type
    const char* content;
};

// The asset of that file name; nothing for any other name.
const Asset* asset(const std::string& name);

}  // namespace kvtweb
