#include "support/notifier.h"

#include <algorithm>

namespace kvtlnk {

Observer::~Observer() {
    if (subject_ != nullptr) subject_->detach(this);
}

Notifier::~Notifier() {
    notifyObservers(kDestroyed);
    for (Observer* o : observers_)
        o->subject_ = nullptr;
    observers_.clear();
}

void Notifier::attach(Observer* o) {
    if (o->subject_ != nullptr) o->subject_->detach(o);
    observers_.push_back(o);
    o->subject_ = this;
}

void Notifier::detach(Observer* o) {
    auto it = std::find(observers_.begin(), observers_.end(), o);
    if (it == observers_.end()) return;
    observers_.erase(it);
    o->subject_ = nullptr;
}

void Notifier::notifyObservers(int event) {
    // An observer may detach itself while it is being told, so walk a copy and skip the ones
    // that have left in the meantime.
    const std::vector<Observer*> snapshot = observers_;
    for (Observer* o : snapshot) {
        if (o->subject_ == this) o->notify(this, event, 0, 0);
    }
}

}  // namespace kvtlnk
