#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "data/core/Observer.h"

namespace {

// Records every call, with the observer it reached.
struct CallLog {
    std::vector<std::pair<int, int>> calls;  // observer tag, subject id
};

class RecordingObserver : public Observer {
public:
    RecordingObserver(CallLog& log, int tag) : m_log(log), m_tag(tag) {}
    void Update(int subjectId) override { m_log.calls.push_back({m_tag, subjectId}); }

private:
    CallLog& m_log;
    int m_tag;
};

using Calls = std::vector<std::pair<int, int>>;

TEST(Observer, SubjectsAreNumberedUpward) {
    ObserverSubject first, second;
    EXPECT_GT(first.subjectId, 0);
    EXPECT_EQ(second.subjectId, first.subjectId + 1);
    auto* third = new ObserverSubject;
    EXPECT_EQ(third->subjectId, second.subjectId + 1);
    delete third;
    // Identifiers are never handed out twice, even after a subject is gone.
    ObserverSubject fourth;
    EXPECT_EQ(fourth.subjectId, second.subjectId + 2);
}

TEST(Observer, NotifyReachesAttachedObserversInOrder) {
    ObserverSubject lonely, list, other;
    CallLog log;
    RecordingObserver a(log, 1), b(log, 2);

    lonely.Notify();
    EXPECT_TRUE(log.calls.empty());

    list.Attach(&a);
    list.Attach(&b);
    list.Attach(&a);  // twice: called twice
    other.Attach(&b);
    list.Attach(nullptr);

    list.Notify();
    EXPECT_EQ(log.calls, (Calls{{1, list.subjectId}, {2, list.subjectId}, {1, list.subjectId}}));

    log.calls.clear();
    other.Notify();
    EXPECT_EQ(log.calls, (Calls{{2, other.subjectId}}));
}

// An observer that watches two subjects tells them apart by the identifier.
class TwoListObserver : public Observer {
public:
    TwoListObserver(ObserverSubject& left, ObserverSubject& right) : m_left(left), m_right(right) {
        left.Attach(this);
        right.Attach(this);
    }
    void Update(int subjectId) override {
        if (subjectId == m_left.subjectId) ++leftCalls;
        else if (subjectId == m_right.subjectId) ++rightCalls;
    }
    int leftCalls = 0, rightCalls = 0;

private:
    ObserverSubject& m_left;
    ObserverSubject& m_right;
};

TEST(Observer, IdentifierTellsSubjectsApart) {
    ObserverSubject candidates, chosen;
    TwoListObserver picker(candidates, chosen);
    candidates.Notify();
    chosen.Notify();
    chosen.Notify();
    EXPECT_EQ(picker.leftCalls, 1);
    EXPECT_EQ(picker.rightCalls, 2);
}

// Attaching from inside Update must neither crash nor call the newcomer this round.
class AttachingObserver : public Observer {
public:
    AttachingObserver(ObserverSubject& subject, Observer& newcomer) : m_subject(subject), m_newcomer(newcomer) {}
    void Update(int) override {
        for (int i = 0; i < 64; ++i) m_subject.Attach(&m_newcomer);
    }

private:
    ObserverSubject& m_subject;
    Observer& m_newcomer;
};

TEST(Observer, AttachDuringNotifyWaitsForTheNextRound) {
    ObserverSubject subject;
    CallLog log;
    RecordingObserver late(log, 7);
    AttachingObserver attacher(subject, late);
    subject.Attach(&attacher);
    subject.Notify();
    EXPECT_TRUE(log.calls.empty());
    subject.Notify();
    EXPECT_EQ(log.calls.size(), 64u);
}

}  // namespace
