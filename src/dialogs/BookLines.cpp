#include "dialogs/BookLines.h"

#include "data/EngineCalls.h"
#include "data/PhonebookDB.h"

int ReadBookLines(PhonebookDB& db, faxnum::Book& out) {
    out = faxnum::Book();
    return db.ForEachRecord([&](const EngineRecord& record) {
        if (record.Kind() == pbabi::kKindGroup) {
            faxnum::BookGroup& g = out.groups.emplace_back();
            g.id = record.Id();
            g.name = WithoutBrackets(NameOf(record)).str();
            for (int i = 0; i < record.MemberCount(); ++i) g.members.push_back(record.Member(i));
            return;
        }
        out.entries.push_back({record.Id(), NameOf(record).str(), FaxOf(record).str()});
    });
}
