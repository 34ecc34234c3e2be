#pragma once
// A subject tells its observers that something happened; each observer then reads
// what it needs from the subject whose identifier it was given.
#include <vector>

class Observer {
public:
    virtual ~Observer() = default;
    // subjectId: the identifier of the subject that changed.
    virtual void Update(int subjectId) = 0;
};

class ObserverSubject {
public:
    ObserverSubject();
    virtual ~ObserverSubject() = default;
    // Observers are not owned and stay attached for the life of the subject; the
    // identifier is tied to this object, so it is neither copied nor moved.
    ObserverSubject(const ObserverSubject&) = delete;
    ObserverSubject& operator=(const ObserverSubject&) = delete;

    // Appends, also an observer already attached: it is then called once per attachment.
    void Attach(Observer* observer);
    // Calls Update on every observer in attachment order with subjectId.
    void Notify();

    // Unique in the process; the first subject gets 1.
    const int subjectId;

private:
    std::vector<Observer*> m_observers;
};
