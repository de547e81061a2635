#include "access.h"

#include <iterator>

#include "passwords.h"

namespace kvtweb {
namespace {

// A signed-in session ends after this long without a request.
constexpr std::chrono::hours kIdle{12};
// After this many failed sign-ins for a name, it is refused until the window has passed.
constexpr int kFailuresAllowed = 5;
constexpr std::chrono::minutes kFailureWindow{10};
// Sessions kept at most: the oldest go first.
constexpr size_t kSessionsKept = 1000;
// Names whose failed sign-ins are counted at most.
constexpr size_t kFailingNamesKept = 1000;

bool isToken(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

bool roleAllows(const std::string& role, Action action) {
    if (role == kvtlab::kRoles[1]) return true;
    if (role == kvtlab::kRoles[0])
        return action != Action::IssueCertificate && action != Action::Verify;
    return false;
}

bool SignInFailures::expired(const Failures& f, Clock::time_point now) {
    return now - f.since > kFailureWindow;
}

bool SignInFailures::stopped(const std::string& name, Clock::time_point now) const {
    const auto it = failures_.find(name);
    return it != failures_.end() && !expired(it->second, now) &&
           it->second.count >= kFailuresAllowed;
}

void SignInFailures::failed(const std::string& name, Clock::time_point now) {
    auto it = failures_.find(name);
    if (it == failures_.end()) {
        if (failures_.size() >= capacity_) makeRoom(now);
        it = failures_.emplace(name, Failures{0, now}).first;
    } else if (expired(it->second, now)) {
        it->second = {0, now};
    }
    ++it->second.count;
}

void SignInFailures::makeRoom(Clock::time_point now) {
    for (auto it = failures_.begin(); it != failures_.end();)
        it = expired(it->second, now) ? failures_.erase(it) : std::next(it);
    if (failures_.size() < capacity_ || failures_.empty()) return;
    auto oldest = failures_.end(), oldestStopped = failures_.end();
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        auto& candidate = it->second.count >= kFailuresAllowed ? oldestStopped : oldest;
        if (candidate == failures_.end() || it->second.since < candidate->second.since)
            candidate = it;
    }
    failures_.erase(oldest != failures_.end() ? oldest : oldestStopped);
}

Access::Access(bool loginRequired, std::string localName)
    : loginRequired_(loginRequired),
      localName_(std::move(localName)),
      key_(randomToken()),
      failures_(kFailingNamesKept) {}

Visitor Access::visitorOf(const std::string& token) {
    Visitor v;
    v.token = token;
    v.csrf = keyedHash(key_, token);
    auto it = sessions_.find(token);
    if (it != sessions_.end() && Clock::now() - it->second.lastSeen > kIdle) {
        sessions_.erase(it);
        it = sessions_.end();
    }
    if (it != sessions_.end()) {
        it->second.lastSeen = Clock::now();
        v.user = it->second.user;
        v.role = it->second.role;
    } else if (!loginRequired_) {
        v.user = localName_;
        v.local = true;
    }
    return v;
}

Visitor Access::visitor(const std::string& cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (isToken(cookie)) return visitorOf(cookie);
    Visitor v = visitorOf(randomToken());
    v.fresh = true;
    return v;
}

bool Access::tokenMatches(const Visitor& visitor, const std::string& token) const {
    return !token.empty() && sameSecret(visitor.csrf, token);
}

std::optional<Visitor> Access::signIn(const kvtlab::Lab& lab, const std::string& name,
                                      const std::string& password, std::string& refusal) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failures_.stopped(name, Clock::now())) {
            refusal = "too many failed sign-ins for this name: wait ten minutes";
            return std::nullopt;
        }
    }
    const kvtlab::User* user = lab.user(name);
    // The hash of a user that is not there is tried too, so that the time taken does not tell
    // which names exist.
    static const std::string decoy = hashPassword(randomToken());
    const bool matches = passwordMatches(user ? user->passwordHash : decoy, password) && user;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!matches) {
        failures_.failed(name, Clock::now());
        refusal = "the name or the password is not right";
        return std::nullopt;
    }
    failures_.forget(name);
    if (sessions_.size() >= kSessionsKept) {
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
            if (it->second.lastSeen < oldest->second.lastSeen) oldest = it;
        }
        sessions_.erase(oldest);
    }
    const std::string token = randomToken();
    sessions_[token] = {user->name, user->role, Clock::now()};
    Visitor v = visitorOf(token);
    v.fresh = true;
    return v;
}

void Access::signOut(const Visitor& visitor) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(visitor.token);
}

std::string Access::cookie(const Visitor& visitor) {
    return std::string(kCookie) + "=" + visitor.token + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace kvtweb
