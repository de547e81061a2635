// Who is at the page and what they may do. On the loopback address the person at this machine
// needs no login and may do everything; anywhere else they sign in as one of the lab file's
// users, whose role says what they may do. Every visitor has a session in an HttpOnly, SameSite
// cookie, and every request that changes something carries the session's CSRF token.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "lab/lab.h"

namespace kvtweb {

// What a request may do; each role allows some of them.
enum class Action {
    Read,              // every page
    Calibrate,         // identify, upload into the archive, download, clear
    DraftCertificate,  // see the certificate of a calibration before it is issued
    IssueCertificate,  // issue, amend, set an interval, confirm a date
    Verify,            // check the archive against its audit trail
};

// "technician": reading, calibrating and drafts; "quality manager": all of it.
bool roleAllows(const std::string& role, Action action);

struct Visitor {
    std::string token;   // the session cookie's value
    std::string csrf;    // the token its forms carry
    std::string user;    // who signed in; "" for none
    std::string role;    // the user's role; "" for none
    bool local = false;  // at this machine with no login needed: every action allowed
    bool fresh = false;  // the cookie is new: the reply sets it
    bool may(Action action) const { return local || roleAllows(role, action); }
};

// Failed sign-ins by name: after five within ten minutes the name is stopped until the ten
// minutes from its first failure have passed. At most capacity names are kept, as anyone may
// make up names: to make room, names whose ten minutes have passed go first, then the name that
// began failing longest ago among those not stopped, so that a flood of made-up names does not
// free a name being guessed at; only when every name kept is stopped does the oldest go.
class SignInFailures {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SignInFailures(size_t capacity) : capacity_(capacity) {}

    bool stopped(const std::string& name, Clock::time_point now) const;
    void failed(const std::string& name, Clock::time_point now);
    void forget(const std::string& name) { failures_.erase(name); }
    size_t size() const { return failures_.size(); }

  private:
    struct Failures {
        int count = 0;
        Clock::time_point since;  // of the first failure of the window
    };
    static bool expired(const Failures& f, Clock::time_point now);
    void makeRoom(Clock::time_point now);

    const size_t capacity_;
    std::map<std::string, Failures> failures_;
};

class Access {
  public:
    // loginRequired: sign-in is needed (the server listens beyond loopback). localName: who the
    // person at the machine is when no login is needed.
    Access(bool loginRequired, std::string localName);

    bool loginRequired() const { return loginRequired_; }

    // The visitor of a request's session cookie ("" when it has none); a new session for a
    // cookie that is unknown or has expired.
    Visitor visitor(const std::string& cookie);
    // Whether the token a form or header carries is the visitor's.
    bool tokenMatches(const Visitor& visitor, const std::string& token) const;

    // Signs the user in when the password is theirs: a new session (its cookie replaces the
    // old, which is closed); nothing, with the reason in refusal, otherwise. A name that failed
    // too often lately is refused for a while without its password being tried.
    std::optional<Visitor> signIn(const kvtlab::Lab& lab, const std::string& name,
                                  const std::string& password, std::string& refusal);
    void signOut(const Visitor& visitor);

    // The cookie header value for the visitor's session.
    static std::string cookie(const Visitor& visitor);
    static constexpr const char* kCookie = "kvtlnk_session";

  private:
    using Clock = std::chrono::steady_clock;
    struct Session {
        std::string user, role;
        Clock::time_point lastSeen;
    };
    Visitor visitorOf(const std::string& token);

    const bool loginRequired_;
    const std::string localName_;
    const std::string key_;  // keys the CSRF tokens of this server's run
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;  // signed-in sessions by token
    SignInFailures failures_;
};

}  // namespace kvtweb
