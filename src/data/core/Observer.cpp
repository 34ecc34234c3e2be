#include "data/core/Observer.h"

#include <atomic>

namespace {
std::atomic<int> g_lastSubjectId{0};
}  // namespace

ObserverSubject::ObserverSubject() : subjectId(++g_lastSubjectId) {}

void ObserverSubject::Attach(Observer* observer) {
    if (observer) m_observers.push_back(observer);
}

void ObserverSubject::Notify() {
    // By index over the count at the start: an observer that attaches another one
    // from its Update must not invalidate the walk.
    const size_t count = m_observers.size();
    for (size_t i = 0; i < count; ++i) m_observers[i]->Update(subjectId);
}
