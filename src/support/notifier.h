#pragma once

#include <vector>

namespace kvtlnk {

class Notifier;

// Something that wants to hear about changes of a Notifier.
class Observer {
  public:
    virtual ~Observer();
    virtual void notify(Notifier* subject, int event, long a, long b) = 0;

  private:
    friend class Notifier;
    Notifier* subject_ = nullptr;
};

// Keeps a list of attached observers and calls each of them on an event.
class Notifier {
  public:
    static constexpr int kChanged = 2;
    static constexpr int kDestroyed = 4;

    Notifier() = default;
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;
    virtual ~Notifier();

    void attach(Observer* o);
    void detach(Observer* o);
    bool hasObservers() const { return !observers_.empty(); }

  protected:
    void notifyObservers(int event);

  private:
    std::vector<Observer*> observers_;
};

}  // namespace kvtlnk
