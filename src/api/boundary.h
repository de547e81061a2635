#pragma once

// How every exported call meets the application. One wrapper runs each call: it traces the call
// with its arguments, refuses it when a pointer it cannot do without is NULL, runs its body on
// the library, turns anything thrown into the one result of a call that could not finish, and
// traces what the call returns. Nothing is thrown into the caller's process.
//
// The results of a call that does not run or does not finish, by what the call returns:
//
//   returns      a needed pointer is NULL     the library ran out of memory
//   result code  KVTLNK_E_ARGUMENT (2013)     KVTLNK_E_IMAGE (2012)
//   a text       NULL                         NULL
//   nothing      -                            -
#include <cstddef>
#include <cstdint>
#include <exception>
#include <tuple>
#include <type_traits>
#include <utility>

#include "api/library.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {

// A line of the call trace, built in place: the library must not allocate to say it ran out of
// memory. Arguments show as the C calls take them; a caller's text quoted (its first 64
// characters), an output buffer only by its address.
class CallLine {
  public:
    explicit CallLine(const char* name);
    void add(int32_t value);
    void add(uint32_t value);
    void add(float value);
    void add(const char* text);
    void add(char* buffer) { add(static_cast<const void*>(buffer)); }
    void add(const void* pointer);
    // "name(a, b)" once the arguments are in; "name returning x" after it.
    void close();
    void returning(uint32_t result);
    void returning(const char* text);
    void returning();
    void thrown(const char* what);
    const char* text() const { return text_; }

  private:
    void append(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void separate();
    void appendText(const char* text);

    char text_[512];
    size_t used_ = 0;
    bool first_ = true;
};

// One exported call as the application made it: its name and arguments, and the pointers it
// needs before it can call down at all (a buffer it returns or writes in every case). Every
// other argument is checked by the operation it is passed to.
template <class... Args>
class Call {
  public:
    explicit Call(const char* name, Args... args) : name_(name), args_(args...) {}

    template <class... Pointers>
    Call& needs(const Pointers*... pointers) {
        met_ = ((pointers != nullptr) && ...);
        return *this;
    }

    const char* name() const { return name_; }
    bool runs() const { return met_; }
    CallLine line() const {
        CallLine line(name_);
        std::apply([&](const Args&... args) { (line.add(args), ...); }, args_);
        line.close();
        return line;
    }

  private:
    const char* name_;
    std::tuple<Args...> args_;
    bool met_ = true;
};
template <class... Args>
Call(const char*, Args...) -> Call<Args...>;

// The trace of one call, from KVTLNK_DEBUG level 3: the call with its arguments when it is
// made, then what it returns, or what was thrown inside it.
class CallTrace {
  public:
    template <class... Args>
    CallTrace(const Trace& trace, const Call<Args...>& call)
        : trace_(trace), name_(call.name()), on_(trace.shows(3)) {
        if (on_) write(call.line());
    }

    template <class... Result>
    auto returning(const Result&... result) const {
        if (on_) {
            CallLine line(name_);
            line.returning(result...);
            write(line);
        }
        if constexpr (sizeof...(Result) == 1) return (result, ...);
    }
    void thrown(const char* what) const;

  private:
    void write(const CallLine& line) const;

    const Trace& trace_;
    const char* name_;
    bool on_;
};

// What a call that did not run or did not finish returns: the table at the top.
enum class Refusal { Argument, Exception };
template <class Result>
Result refusal(Refusal why) {
    if constexpr (std::is_same_v<Result, uint32_t>) {
        return why == Refusal::Argument ? KVTLNK_E_ARGUMENT : KVTLNK_E_IMAGE;
    } else if constexpr (std::is_same_v<Result, char*> || std::is_same_v<Result, const char*>) {
        return nullptr;
    } else {
        static_assert(std::is_void_v<Result>, "a call returns a code, a text or nothing");
    }
}

// Runs one exported call on lib: body(lib) unless a needed pointer is NULL, traced to the trace
// of lib's seams.
template <class... Args, class Body>
auto boundaryCall(Library& lib, const Call<Args...>& call, Body&& body) noexcept
    -> decltype(body(lib)) {
    using Result = decltype(body(lib));
    const CallTrace trace(lib.seams.trace, call);
    Refusal why = Refusal::Argument;
    if (call.runs()) {
        try {
            if constexpr (std::is_void_v<Result>) {
                body(lib);
                return trace.returning();
            } else {
                return trace.returning(body(lib));
            }
        } catch (const std::exception& e) {
            trace.thrown(e.what());
        } catch (...) {
            trace.thrown("an exception of unknown type");
        }
        why = Refusal::Exception;
    }
    if constexpr (std::is_void_v<Result>) {
        return trace.returning();
    } else {
        return trace.returning(refusal<Result>(why));
    }
}

// The same on the library of the process, for the exported functions.
template <class... Args, class Body>
auto exported(const Call<Args...>& call, Body&& body) noexcept {
    return boundaryCall(library(), call, std::forward<Body>(body));
}

// A session operation's body: it runs over the link's packet port, which exists from KVTopen to
// KVTclose; without it no session is open and the call returns KVTLNK_E_NO_SESSION.
template <class Operation>
auto overLink(Operation&& operation) {
    return [operation = std::forward<Operation>(operation)](Library& lib) -> uint32_t {
        PacketPort* port = lib.link.port();
        return port != nullptr ? operation(lib, *port) : KVTLNK_E_NO_SESSION;
    };
}

}  // namespace kvtlnk
