#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "data/core/Observer.h"

namespace {

using Calls = std::vector<std::pair<int, int>>;  // observer tag, subject id

class RecordingObserver : public Observer {
public:
    RecordingObserver(Calls& calls, int tag) : m_calls(calls), m_tag(tag) {}
    void Update(int subjectId) override { m_calls.push_back({m_tag, subjectId}); }

private:
    Calls& m_calls;
    int m_tag;
};

TEST(Observer, NotifyCallsEachAttachmentInOrderWithTheSubjectsId) {
    Calls calls;
    RecordingObserver a(calls, 1), b(calls, 2);
    ObserverSubject lonely, list, other;
    EXPECT_GT(lonely.subjectId, 0);
    EXPECT_EQ(list.subjectId, lonely.subjectId + 1);
    EXPECT_EQ(other.subjectId, list.subjectId + 1);

    list.Attach(&a);
    list.Attach(&b);
    list.Attach(&a);
    other.Attach(&b);
    lonely.Notify();
    EXPECT_TRUE(calls.empty());
    list.Notify();
    other.Notify();
    EXPECT_EQ(calls, (Calls{{1, list.subjectId}, {2, list.subjectId}, {1, list.subjectId}, {2, other.subjectId}}));
}

// Attaching from inside Update must not break the walk; the newcomer is called next time.
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
    Calls calls;
    RecordingObserver late(calls, 7);
    ObserverSubject subject;
    AttachingObserver attacher(subject, late);
    subject.Attach(&attacher);
    subject.Notify();
    EXPECT_TRUE(calls.empty());
    subject.Notify();
    EXPECT_EQ(calls.size(), 64u);
}

}  // namespace
