// pbtool: a command-line companion to the phone book engine. create, list, verify,
// sample and duplicates reach files through the program's storage wrapper (PhonebookDB),
// as the program does; verify also reads the format directly to report damaged records
// that the exports skip. import, export and convert run the program's own code for those
// jobs (BookJobs).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "BookJobs.h"
#include "CardDavJob.h"
#include "carddav/core/Url.h"
#include "directory/core/Entries.h"
#include "directory/core/Request.h"
#include "directory/core/Url.h"
#include "Console.h"
#include "FollowCommand.h"
#include "PrintCommand.h"
#include "UndoCommand.h"
#include "controls/MessageDialog.h"
#include "core/Book.h"
#include "core/SampleData.h"
#include "data/EngineCalls.h"
#include "data/PhonebookDB.h"
#include "dll/WinPlatform.h"
#include "dialogs/BookLines.h"
#include "numbers/HomeCountry.h"
#include "util/OperatingSystem.h"

using namespace pbabi;
using namespace pbtool;

namespace {

const wchar_t kUsage[] =
    L"usage: pbtool create <book> [--format mpb2|mpb|pb] [--replace]\n"
    L"       pbtool list <book>\n"
    L"       pbtool verify <book>\n"
    L"       pbtool duplicates <book> [--country XX]\n"
    L"       pbtool sample <book> --entries N [--groups M] [--replace]\n"
    L"       pbtool import <book> <file> [text options] [--update [--group NAME [--adopt]]]\n"
    L"                    [--dry-run [--json]]\n"
    L"       pbtool sync <book> <file> [text options] [--allow-shrink]\n"
    L"                    [--group NAME [--adopt]] [--dry-run [--json]]\n"
    L"       pbtool import|sync <book> <ldap URL> [directory options] [as above]\n"
    L"       pbtool directory|show <ldap URL> [directory options]\n"
    L"       pbtool import|sync <book> <address book URL> [--user NAME]\n"
    L"                    [--password-file FILE] [--timeout S] [as above]\n"
    L"       pbtool directory|show <address book or server URL> [--user NAME] [...]\n"
    L"       pbtool export <book> <file> [text options] [--header] [--replace]\n"
    L"       pbtool convert <old book> [<new book>] [--replace]\n"
    L"       pbtool print <book> [--printer NAME] [--columns LIST] [--group NAME]\n"
    L"                    [--by-group] [--to FILE.png|FILE.pdf|FILE] [--paper a4|letter]\n"
    L"                    [--dpi N] [--language xx-XX]\n"
    L"       pbtool undo <book> [--list] [--dry-run] [--json] [--id N]\n"
    L"       pbtool settings\n"
    L"       pbtool follow [<book>] [--wait S]\n"
    L"\n"
    L"undo takes back the last change of the book made by this user on this machine\n"
    L"(a sync, an import, a merge, a delete, an edit), as the program's Undo does; --list\n"
    L"lists the changes that can be taken back, newest first, and --id N takes back\n"
    L"that one. What the book changed since in the same entries is named and left.\n"
    L"settings prints the source's settings, each with where it comes from (policy HKLM,\n"
    L"policy HKCU, user, machine default, default); follow syncs the book (else the\n"
    L"FollowBook setting's) with the source as they configure it, once, as sync does.\n"
    L"\n"
    L"create makes an empty book, sample one filled with made-up entries and groups; both\n"
    L"refuse a file that exists unless --replace is given. list prints every entry and\n"
    L"group; verify checks the book and says whether it is sound.\n"
    L"duplicates lists the entries that share a fax number, however it is written\n"
    L"(\"030/1234567\" and \"+49 30 1234567\" at home in Germany): one block per number,\n"
    L"its full form and how many entries have it, then a line per entry with its name,\n"
    L"its number as the book keeps it and its groups. It changes nothing.\n"
    L"import adds the entries of a delimited text file to the book and prints how many\n"
    L"were read, imported, rejected, already present and without room; export writes\n"
    L"every entry (groups never) in name order. Both work as the import and export\n"
    L"dialog does, with its defaults. Text options:\n"
    L"  --columns LIST           the fields of a record in file order, separated by\n"
    L"                           commas, from: name, first-part, second-part (import\n"
    L"                           only), fax, organization, phone, email, mailbox\n"
    L"                           (default name,fax,organization,phone,email,mailbox)\n"
    L"  --record-delimiter D     crlf (default), cr, lf, ff or 1 to 4 characters\n"
    L"  --field-delimiter D      comma (default), tab or 1 to 4 characters;\n"
    L"                           \\t \\r \\n \\f and \\\\ stand for those characters\n"
    L"  --utf8 | --ansi          the file's encoding (default UTF-8, for an ANSI .pb\n"
    L"                           book the ANSI code page, which it must use)\n"
    L"  --header                 export: a first line names the columns, and fields\n"
    L"                           are quoted as needed (import reads such a file by\n"
    L"                           its names by itself)\n"
    L"  --replace                create, sample, export, convert: replace an existing\n"
    L"                           file\n"
    L"  --update                 import: a record whose name is in the book updates\n"
    L"                           that entry (the file's columns replace its fields)\n"
    L"                           instead of being added beside it\n"
    L"  --allow-shrink           sync: it may remove more than half of the entries\n"
    L"  --group NAME             sync, import --update: the entries the file gives\n"
    L"                           join this group (made if needed); records are\n"
    L"                           matched with its members only, and a sync removes\n"
    L"                           only them. An entry outside it (made by hand) that a\n"
    L"                           record names is left alone, and counted so\n"
    L"  --adopt                  with --group: such entries join the group and are\n"
    L"                           updated\n"
    L"  --dry-run                import, sync: print the plan (the counts, then one\n"
    L"                           line per add, update, removal, join and leave, and\n"
    L"                           the entries left alone or kept) and change nothing;\n"
    L"                           it ends with the exit code the real run would\n"
    L"  --json                   with --dry-run: the plan as one JSON object\n"
    L"  --country XX             import, sync, duplicates: national numbers (without\n"
    L"                           + or international prefix) are read as numbers of\n"
    L"                           this country (ISO 3166 code, e.g. DE) when fax\n"
    L"                           numbers are compared (default: the Windows region's)\n"
    L"  --wait SECONDS           every command on a book: while another program is\n"
    L"                           changing the book, try again with a growing pause\n"
    L"                           for up to this long (default 60; 0: one try), then\n"
    L"                           fail with exit code 1\n"
    L"A file whose first line is BEGIN:VCARD is read as vCard cards (their categories\n"
    L"name groups); an export to a name ending in .vcf writes vCard 3.0 cards.\n"
    L"sync makes the book follow the file: an import that updates, after which every\n"
    L"entry that no record of the file gave is removed, all in one commit. Each entry\n"
    L"is matched by at most one record, by name (as the book keeps it, in any case),\n"
    L"one with the record's fax number first (as typed, then written another way);\n"
    L"two people of one name are two entries.\n"
    L"The groups the file names follow it: an entry the sync keeps leaves each of them\n"
    L"its record does not name; other groups stay as they are. A rejected record keeps\n"
    L"the entry of its name.\n"
    L"It changes nothing when the file cannot be read to its end, gives no entry,\n"
    L"would remove more than half of the entries it considers, or adds more than the\n"
    L"book can hold.\n"
    L"import refuses a book that is missing, in use by another program or write-\n"
    L"protected, or full; entries already in the book (the same name, and the same fax\n"
    L"number however written) are counted, not changed (--update changes them).\n"
    L"The office's directory is a source as a file is: import and sync take an LDAP\n"
    L"URL, ldap://host[:port]/base-DN[?attributes?scope?filter] or ldaps://, in place\n"
    L"of the file (scope sub, filter (facsimileTelephoneNumber=*) unless given; the\n"
    L"attributes, when given, are the only ones read); each fax number of a person is\n"
    L"an entry. directory prints what the search gives.\n"
    L"Directory options:\n"
    L"  --starttls               secure the ldap:// connection with StartTLS\n"
    L"  --bind-dn DN             log in as DN (or user@domain); the password comes\n"
    L"                           from --password-file FILE (its first line) or is\n"
    L"                           asked on the console, never from the command line\n"
    L"  --page-size N            entries a page (default 500; 0: unpaged, which a\n"
    L"                           directory caps)\n"
    L"  --timeout S              seconds for the connect, the login and each page\n"
    L"                           (default 30)\n"
    L"  --map field=attribute,.. the attributes of name, fax, organization, phone,\n"
    L"                           email, mailbox (a+b joins, a|b the first there)\n"
    L"  --groups-from ATTRIBUTE  each value a group (a DN by its first part)\n"
    L"An address book on a CardDAV server is a source too: import and sync take its\n"
    L"URL, http[s]://host[:port]/path/ (each fax number of a card is an entry, its\n"
    L"categories are groups). --user NAME logs in (Basic; the password as for a\n"
    L"directory), --timeout S bounds the connect and each answer (default 30).\n"
    L"A URL of a server or an account (https://cloud.example.org) is followed to the\n"
    L"user's address books: directory lists them (URL, name, cards); import and sync\n"
    L"list them, change nothing and end with exit code 4. directory with an address\n"
    L"book's URL prints its cards with a fax number. show is another name of directory.\n"
    L"The options that only a directory or only a file has are refused with an address\n"
    L"book.\n"
    L"convert copies every entry and group with its members of an older book (.mpb,\n"
    L"  .pb) into a new current-format book, by default the old name with .mpb2.\n"
    L"print prints the phone list (default columns name,fax,organization,phone; also\n"
    L"  email, mailbox, groups) in name order: every entry, or with --group (given\n"
    L"  again for more) the members of that group; --by-group gives a section per\n"
    L"  group. It goes to the default printer or --printer; --to FILE.png writes each\n"
    L"  page as a picture, FILE-1.png, FILE-2.png... (A4 unless --paper letter, at\n"
    L"  --dpi, default 150), --to FILE.pdf prints to Windows' PDF printer, and any\n"
    L"  other FILE receives what the printer would print. The page's texts are in the\n"
    L"  user's language or --language's.\n"
    L"Long jobs tell their progress on standard error.\n"
    L"\n"
    L"exit codes: 0 done (verify: sound), 1 failed (or import, sync, also a dry run:\n"
    L"records or groups without room, the source not read to its end, or changes the\n"
    L"book refused; list, verify: the book could not be\n"
    L"read to its end; sync, also a dry run: refused; duplicates: entries share a fax\n"
    L"number, or the book could not be read to its end),\n"
    L"2 bad arguments,\n"
    L"3 not sound (verify; convert: the new book does not hold what the old one does),\n"
    L"4 import, sync: the URL is a server or an account, not one address book (its\n"
    L"address books are listed)\n";

int Usage() {
    Out(stderr, kUsage);
    return kExitUsage;
}

std::wstring W(const CMString& text) { return text.str(); }
CMString Text(const pbcore::Units& u) { return CMString(std::wstring(u.begin(), u.end())); }
constexpr int kDefaultWaitSeconds = 60;
constexpr int kMaxWaitSeconds = 86400;

std::wstring Code(int code) { return L" (engine code " + std::to_wstring(code) + L")"; }
// A failure told, or a busy book left to --wait.
int Refused(int code, const std::wstring& text) { return code == kBusy ? kExitBusy : Fail(kExitFailed, text); }

// The storage wrapper's messages have no screen to go to here, and their texts come
// from a language library these commands do without: pbtool says itself what failed.
class NoScreen {
public:
    NoScreen() {
        SetMessageSink([](const CMString&, const CMString&, UINT style) {
            const UINT type = style & MB_TYPEMASK;
            return type == MB_YESNO ? IDNO : type == MB_OKCANCEL ? IDCANCEL : IDOK;
        });
    }
    ~NoScreen() { SetMessageSink({}); }
    NoScreen(const NoScreen&) = delete;
    NoScreen& operator=(const NoScreen&) = delete;
};

// The wrapper with its engine loaded from beside pbtool, as the program loads it.
int LoadEngine(PhonebookDB& db) {
    if (db.LoadEngine()) return kExitOk;
    const CMString folder = OperatingSystem::ModuleFolder(nullptr);
    return Fail(kExitFailed, L"the engine cannot be loaded (" +
                                 (folder.IsEmpty() ? std::wstring(L"pbtool's folder is not known")
                                                   : W(folder) + W(CMString::FromUtf8(kEngineFileName))) +
                                 L")");
}

// Opened as the program opens a book: mode 0 read-write (or read-only when that is
// all it gets), 1 read-only.
bool OpenBook(PhonebookDB& db, const std::wstring& path, int mode) {
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    return db.Open(path.c_str(), 0, mode);
}

// The format of a book: --format's, else the one its name's extension names (by the
// engine's own rule), else the current one.
struct Format {
    pbcore::Kind kind = pbcore::Kind::Current;
    std::wstring name = L"mpb2";
    int capacity = kCapacityCurrent;
};

bool KindOfName(const std::wstring& path, pbcore::Kind* kind) {
    return pbcore::KindFromExtension(std::u16string_view(reinterpret_cast<const char16_t*>(path.c_str()), path.size()),
                                     kind);
}

const wchar_t* FormatName(pbcore::Kind kind) {
    switch (kind) {
        case pbcore::Kind::OlderWide: return L"mpb";
        case pbcore::Kind::Oldest: return L"pb";
        default: return L"mpb2";
    }
}

int ChooseFormat(const std::wstring& path, const std::wstring& given, Format* out) {
    pbcore::Kind named = pbcore::Kind::Current;
    const bool hasKind = KindOfName(path, &named);
    pbcore::Kind kind = hasKind ? named : pbcore::Kind::Current;
    if (!given.empty()) {
        if (!KindOfName(L"." + given, &kind))
            return Fail(kExitUsage, L"unknown format \"" + given + L"\" (mpb2, mpb or pb)");
        // The engine makes an older book of the kind its name names.
        if (kind != pbcore::Kind::Current && !(hasKind && named == kind))
            return Fail(kExitUsage, L"a " + std::wstring(FormatName(kind)) + L" book needs a name ending in ." +
                                        FormatName(kind));
    }
    out->kind = kind;
    out->name = FormatName(kind);
    out->capacity = pbcore::TraitsOf(kind).capacity;
    return kExitOk;
}

// Whether a book may be made at the path: nothing is there, or --replace is given and
// the file there may go.
int MayMake(const std::wstring& path, bool replace) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return kExitOk;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(kExitFailed, path + L" is a folder");
    if (!replace) return Fail(kExitFailed, path + L" exists (--replace replaces it)");
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(kExitFailed, path + L" is write-protected");
    return kExitOk;
}

// Makes an empty book of the format (replacing the file MayMake let go) and leaves it
// open for changes.
int MakeBook(PhonebookDB& db, const std::wstring& path, const Format& format) {
    if (format.kind == pbcore::Kind::Current) {
        // The engine's create empties a file that is there.
        if (!db.Create(path.c_str())) return Refused(db.LastCode(), L"cannot create " + path + Code(db.LastCode()));
        return kExitOk;
    }
    // An older book is made by opening a missing file for changes: the engine takes its
    // kind from the name.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(path.c_str()))
        return Fail(kExitFailed, L"cannot replace " + path);
    if (!OpenBook(db, path, 0) || db.IsReadOnly()) {
        const int code = db.LastCode();
        db.Close();
        return Fail(kExitFailed, L"cannot create " + path + Code(code));
    }
    return kExitOk;
}

int CreateBook(const std::wstring& path, const std::wstring& format, bool replace) {
    Format chosen;
    if (int rc = ChooseFormat(path, format, &chosen); rc != kExitOk) return rc;
    PhonebookDB db;
    if (int rc = LoadEngine(db); rc != kExitOk) return rc;
    if (int rc = MayMake(path, replace); rc != kExitOk) return rc;
    return MakeBook(db, path, chosen);
}

// One record as list and verify see it.
struct Item {
    uint16_t id;
    uint8_t kind;
    std::wstring name, fax, org, mailbox, phone, email;
    std::vector<uint16_t> members;
};

// Every record of the open book. kOk when the engine told the end; else the code of
// the read that failed, and the items are not the book's.
int ReadItems(PhonebookDB& db, std::vector<Item>& items) {
    items.clear();
    const int code = db.ForEachRecord([&](const EngineRecord& r) {
        Item it{r.Id(),
                r.Kind(),
                W(NameOf(r)),
                W(FaxOf(r)),
                W(ExtensionOf(r, kExtOrganization)),
                W(ExtensionOf(r, kExtMailbox)),
                W(ExtensionOf(r, kExtPhone)),
                W(ExtensionOf(r, kExtEmail)),
                {}};
        const int members = std::min<int>(r.MemberCount(), db.Capacity());
        for (int i = 0; i < members; ++i) it.members.push_back(r.Member(i));
        items.push_back(std::move(it));
    });
    if (code != kOk) items.clear();
    return code;
}

int List(const std::wstring& path) {
    PhonebookDB db;
    if (int rc = LoadEngine(db); rc != kExitOk) return rc;
    if (!OpenBook(db, path, 1)) return Refused(db.LastCode(), L"cannot open " + path + Code(db.LastCode()));
    std::vector<Item> items;
    // Nothing of a book that cannot be read to its end: part of it would pass for all.
    if (int code = ReadItems(db, items); code != kOk)
        return Refused(code, L"reading " + path + L" failed" + Code(code));
    std::map<uint16_t, std::wstring> names;
    for (const auto& it : items) names[it.id] = it.name;
    for (const auto& it : items) {
        if (it.kind == kKindEntry) {
            Say(L"entry " + std::to_wstring(it.id) + L"\t" + it.name + L"\t" + it.fax + L"\t" + it.org + L"\t" +
                it.phone + L"\t" + it.email + L"\t" + it.mailbox);
        } else {
            std::wstring members;
            for (uint16_t m : it.members) members += (members.empty() ? L"" : L", ") + names[m] + L" (" + std::to_wstring(m) + L")";
            Say(L"group " + std::to_wstring(it.id) + L"\t[" + it.name + L"]\t" + members);
        }
    }
    return kExitOk;
}

int Verify(const std::wstring& path) {
    PhonebookDB db;
    if (int rc = LoadEngine(db); rc != kExitOk) return rc;
    std::vector<std::wstring> problems;
    // The format itself: damaged slots and a change left behind by a dead writer.
    pbdll::WinPlatform files;
    bool created = false;
    intptr_t handle = -1;
    pbcore::Platform::Path p{path.c_str(), nullptr};
    if (files.Open(p, false, false, false, &created, &handle) != pbcore::code::kOk)
        return Fail(kExitFailed, L"cannot open " + path);
    pbcore::Book raw;
    int loaded;
    // Under the engine's shared lock, as a reader through the exports reads: a writer's
    // commit in the middle would look like damage.
    if (!files.Lock(handle, false)) {
        files.Close(handle);
        return kExitBusy;
    }
    {
        auto io = files.Attach(handle);
        loaded = raw.Load(*io);
    }
    files.Unlock(handle);
    files.Close(handle);
    if (loaded != pbcore::code::kOk) return Fail(kExitUnsound, path + L" is not a phone book (code " + std::to_wstring(loaded) + L")");
    if (raw.DamagedCount()) problems.push_back(std::to_wstring(raw.DamagedCount()) + L" damaged record(s) skipped");
    // A writer that died after its commit was durable leaves its journal: every reader
    // sees the change already, and the next writer finishes it. That is sound.
    const bool pending = raw.HadPendingChange();
    // One that died while writing its journal committed nothing; the next write clears it.
    const bool torn = raw.HadTornJournal();

    // What a caller sees through the exports.
    if (!OpenBook(db, path, 1)) {
        if (db.LastCode() == kBusy) return kExitBusy;
        return Fail(kExitUnsound, L"the engine refuses " + path + L" (code " + std::to_wstring(db.LastCode()) + L")");
    }
    std::vector<Item> items;
    // A book read only in part is neither sound nor not: it could not be checked.
    if (int code = ReadItems(db, items); code != kOk)
        return Refused(code, L"reading " + path + L" failed" + Code(code) + L"; it could not be checked");
    std::map<uint16_t, uint8_t> kinds;
    bool groupSeen = false;
    for (const auto& it : items) {
        if (it.id == 0 || it.id == 255 || it.id == kNoId) problems.push_back(L"reserved id " + std::to_wstring(it.id));
        if (!kinds.emplace(it.id, it.kind).second) problems.push_back(L"id " + std::to_wstring(it.id) + L" twice");
        if (it.kind == kKindGroup) groupSeen = true;
        else if (groupSeen) problems.push_back(L"entry " + std::to_wstring(it.id) + L" after a group");
        if (it.name.empty()) problems.push_back(L"record " + std::to_wstring(it.id) + L" without a name");
    }
    for (const auto& it : items)
        for (uint16_t m : it.members)
            if (kinds.count(m) == 0 || kinds[m] != kKindEntry)
                problems.push_back(L"group " + std::to_wstring(it.id) + L" names " + std::to_wstring(m) + L", not an entry");
    if (items.size() > static_cast<size_t>(db.Capacity())) problems.push_back(L"more records than the capacity");
    size_t entries = 0;
    for (const auto& it : items) entries += it.kind == kKindEntry;
    Say(path + L": format " + std::to_wstring(db.VersionMajor()) + L"." + std::to_wstring(db.VersionMinor()) +
        (db.IsWideMode() ? L" (wide)" : L" (ANSI)") + L", " + std::to_wstring(entries) + L" entries, " +
        std::to_wstring(items.size() - entries) + L" groups, capacity " + std::to_wstring(db.Capacity()));
    if (pending) Say(L"note: a committed change is still to be written in place (the next write does it)");
    if (torn) Say(L"note: a change that was never committed was cut short; nothing of it counts (the next write clears it)");
    for (const auto& problem : problems) Say(L"problem: " + problem);
    Say(problems.empty() ? L"sound" : L"not sound");
    return problems.empty() ? kExitOk : kExitUnsound;
}

// The sets of entries that share a fax number; kExitFailed when there are any, so a
// script can tell a clean book.
int Duplicates(const std::wstring& path, const faxnum::Country* home) {
    PhonebookDB db;
    if (int rc = LoadEngine(db); rc != kExitOk) return rc;
    if (!OpenBook(db, path, 1)) return Refused(db.LastCode(), L"cannot open " + path + Code(db.LastCode()));
    // The same reading and the same sets as the program's Duplicates dialog.
    faxnum::Book book;
    if (int code = ReadBookLines(db, book); code != kOk)
        return Refused(code, L"reading " + path + L" failed" + Code(code));
    if (!home)
        Out(stderr, L"pbtool: no home country is known (Windows region; --country XX names one): national "
                    L"numbers are compared only with numbers written the same way\n");
    const std::vector<faxnum::SharedLine> sets = faxnum::SharedLines(book, home);
    size_t entries = 0;
    for (const faxnum::SharedLine& set : sets) {
        Say(set.normalForm + L": " + std::to_wstring(set.entries.size()) + L" entries");
        for (const faxnum::LineEntry& e : set.entries) {
            std::wstring groups;
            for (const std::wstring& g : e.groups) groups += (groups.empty() ? L"" : L", ") + g;
            Say(L"  " + e.name + L" | " + e.fax + L" | " +
                (groups.empty() ? std::wstring(L"no groups") : L"groups: " + groups));
        }
        entries += set.entries.size();
    }
    Say(sets.empty() ? std::wstring(L"no two entries share a fax number")
                     : std::to_wstring(entries) + L" entries share " +
                           (sets.size() == 1 ? std::wstring(L"one fax number")
                                             : std::to_wstring(sets.size()) + L" fax numbers"));
    return sets.empty() ? kExitOk : kExitFailed;
}

int SampleBook(const std::wstring& path, int entries, int groups, bool replace) {
    // Every argument first: a refused command leaves the file as it was.
    Format format;
    if (int rc = ChooseFormat(path, L"", &format); rc != kExitOk) return rc;
    if (entries + groups > format.capacity)
        return Fail(kExitUsage, L"at most " + std::to_wstring(format.capacity) + L" records fit this format");
    PhonebookDB db;
    if (int rc = LoadEngine(db); rc != kExitOk) return rc;
    if (int rc = MayMake(path, replace); rc != kExitOk) return rc;
    if (int rc = MakeBook(db, path, format); rc != kExitOk) return rc;

    pbcore::Sample sample = pbcore::MakeSample(entries, groups);
    std::vector<uint16_t> ids;
    EngineRecord record = db.NewEngineRecord();
    auto add = [&](uint8_t kind, const CMString& name, const pbcore::Record* fields) {
        record.Clear();
        record.SetKind(kind);
        if (fields)
            WriteFields(record, name, Text(fields->fields[pbcore::kFax]), Text(fields->fields[pbcore::kOrganization]),
                        Text(fields->fields[pbcore::kPhone]), Text(fields->fields[pbcore::kEmail]),
                        Text(fields->fields[pbcore::kMailbox]));
        else
            WriteFields(record, name, CMString(), CMString(), CMString(), CMString(), CMString());
        return db.AddRecord(record, false);
    };
    for (const auto& r : sample.entries) {
        CMString name = Text(r.fields[pbcore::kName]);
        int code = add(kKindEntry, name, &r);
        // Names that only differ in letters the code page lacks meet in the oldest format.
        if (code == kNameInUse) {
            name = name.Left(26) + L" " + CMString(std::to_wstring(ids.size()));
            code = add(kKindEntry, name, &r);
        }
        if (code != kOk) return Fail(kExitFailed, L"adding \"" + W(name) + L"\" failed" + Code(code));
        ids.push_back(record.Id());
    }
    for (const auto& g : sample.groups) {
        CMString name = Text(g.name);
        int code = add(kKindGroup, name, nullptr);
        if (code == kNameInUse) {
            name = name + L" " + CMString(std::to_wstring(ids.size()));
            code = add(kKindGroup, name, nullptr);
        }
        if (code != kOk) return Fail(kExitFailed, L"adding group \"" + W(name) + L"\" failed" + Code(code));
        const uint16_t id = record.Id();
        for (int m : g.members)
            if ((code = db.AddMemberById(id, ids[static_cast<size_t>(m)])) != kOk)
                return Fail(kExitFailed, L"adding a member failed" + Code(code));
    }
    Say(path + L": " + std::to_wstring(entries) + L" entries, " + std::to_wstring(groups) + L" groups");
    return kExitOk;
}

bool ParseCount(const wchar_t* text, int* out) {
    wchar_t* end = nullptr;
    long v = wcstol(text, &end, 10);
    if (!end || *end || v < 0 || v > 100000) return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseColumns(const std::wstring& list, bool forImport, std::vector<delimited::Column>* columns) {
    static const std::pair<const wchar_t*, delimited::Column> kNames[] = {
        {L"name", delimited::Column::Name},
        {L"first-part", delimited::Column::FirstNamePart},
        {L"second-part", delimited::Column::SecondNamePart},
        {L"fax", delimited::Column::Fax},
        {L"organization", delimited::Column::Organization},
        {L"phone", delimited::Column::Phone},
        {L"email", delimited::Column::Email},
        {L"mailbox", delimited::Column::Mailbox},
    };
    columns->clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(L',', start);
        std::wstring name = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        bool known = false;
        for (const auto& [text, column] : kNames) {
            if (name != text) continue;
            if (!forImport && !delimited::IsOfferedOnExport(column)) return false;
            for (delimited::Column taken : *columns)
                if (taken == column) return false;
            columns->push_back(column);
            known = true;
        }
        if (!known) return false;
        if (comma == std::wstring::npos) return true;
        start = comma + 1;
    }
}

// A delimiter's name, or its text with \t, \r, \n, \f and \\ read as those characters.
bool ParseDelimiter(const std::wstring& text, bool record, CMString* out) {
    static const std::pair<const wchar_t*, const wchar_t*> kRecordNames[] = {
        {L"crlf", L"\r\n"}, {L"cr", L"\r"}, {L"lf", L"\n"}, {L"ff", L"\f"}};
    static const std::pair<const wchar_t*, const wchar_t*> kFieldNames[] = {{L"comma", L","}, {L"tab", L"\t"}};
    for (const auto& [name, value] : record ? std::vector(std::begin(kRecordNames), std::end(kRecordNames))
                                            : std::vector(std::begin(kFieldNames), std::end(kFieldNames))) {
        if (text == name) {
            *out = value;
            return true;
        }
    }
    std::wstring value;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            value.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case L't': value.push_back(L'\t'); break;
        case L'r': value.push_back(L'\r'); break;
        case L'n': value.push_back(L'\n'); break;
        case L'f': value.push_back(L'\f'); break;
        case L'\\': value.push_back(L'\\'); break;
        default: return false;
        }
    }
    // As the dialog's edit for a delimiter of one's own takes it.
    if (value.empty() || value.size() > 4) return false;
    *out = value;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?" || (i == 1 && arg == L"help")) {
            Out(stdout, kUsage);
            return kExitOk;
        }
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"settings") return SettingsCommand(argc, argv);
    if (argc >= 2 && std::wstring(argv[1]) == L"follow") {
        unsigned wait = kDefaultWaitSeconds;
        for (int i = 2; i + 1 < argc; ++i)
            if (std::wstring(argv[i]) == L"--wait") {
                int n = 0;
                if (!ParseCount(argv[i + 1], &n) || n > kMaxWaitSeconds)
                    return Fail(kExitUsage, L"--wait needs seconds, 0 to " + std::to_wstring(kMaxWaitSeconds));
                wait = static_cast<unsigned>(n);
            }
        return FollowCommand(argc, argv, wait);
    }
    if (argc < 3) return Usage();
    if (std::wstring(argv[1]) == L"print") return PrintCommand(argc, argv);
    if (std::wstring(argv[1]) == L"undo") return UndoCommand(argc, argv);
    // show: what a source gives, a better name for directory (which stays).
    const std::wstring command = std::wstring(argv[1]) == L"show" ? L"directory" : argv[1];
    std::vector<std::wstring> operands;
    std::wstring format;
    int entries = -1, groups = 0;
    TextJob job;
    bool columnsGiven = false, encodingGiven = false;
    const bool text = command == L"import" || command == L"export" || command == L"sync";
    const bool reading = command == L"import" || command == L"sync";
    // Options of a directory source: import, sync and directory take them.
    const bool directoryOptions = reading || command == L"directory";
    bool directoryOptionGiven = false;
    // The first option given that only a directory (or only a file) reads, for the
    // refusal with an address book, which would otherwise ignore it.
    std::wstring ldapOnly, fileOnly;
    // --user: the login to an address book (http:// or https://).
    bool userGiven = false;
    // Fax numbers are compared (import, sync, duplicates) as numbers of this country.
    const bool comparesNumbers = reading || command == L"duplicates";
    const faxnum::Country* country = nullptr;
    // Every command on a book waits this long for another program's change to end.
    const bool onBook = command != L"directory";
    unsigned waitSeconds = kDefaultWaitSeconds;
    for (int i = 2; i < argc; ++i) {
        const std::wstring opt = argv[i];
        if (opt.size() < 2 || opt.compare(0, 2, L"--") != 0) {
            operands.push_back(opt);
            continue;
        }
        // Flags first, then options with a value.
        if (opt == L"--replace" &&
            (command == L"export" || command == L"convert" || command == L"create" || command == L"sample")) {
            job.replace = true;
            continue;
        }
        if (opt == L"--update" && command == L"import") {
            job.update = true;
            continue;
        }
        if (opt == L"--allow-shrink" && command == L"sync") {
            job.allowShrink = true;
            continue;
        }
        if (opt == L"--adopt" && reading) {
            job.adopt = true;
            continue;
        }
        if (opt == L"--starttls" && directoryOptions) {
            job.startTls = directoryOptionGiven = true;
            if (ldapOnly.empty()) ldapOnly = opt;
            continue;
        }
        if (opt == L"--dry-run" && reading) {
            job.dryRun = true;
            continue;
        }
        if (opt == L"--json" && reading) {
            job.json = true;
            continue;
        }
        if (opt == L"--header" && command == L"export") {
            job.header = true;
            continue;
        }
        if ((opt == L"--utf8" || opt == L"--ansi") && text) {
            if (encodingGiven) return Fail(kExitUsage, L"--utf8 and --ansi exclude each other");
            encodingGiven = true;
            if (fileOnly.empty()) fileOnly = opt;
            job.encoding = opt == L"--utf8" ? TextEncoding::Utf8 : TextEncoding::Ansi;
            continue;
        }
        if (i + 1 >= argc) return Fail(kExitUsage, opt + L" needs a value, or is not an option of " + command);
        const std::wstring value = argv[++i];
        if ((opt == L"--bind-dn" || opt == L"--page-size" || opt == L"--map" || opt == L"--groups-from") &&
            ldapOnly.empty())
            ldapOnly = opt;
        if ((opt == L"--columns" || opt == L"--record-delimiter" || opt == L"--field-delimiter") && fileOnly.empty())
            fileOnly = opt;
        if (opt == L"--format" && command == L"create") format = value;
        else if (opt == L"--wait" && onBook) {
            int n = 0;
            if (!ParseCount(value.c_str(), &n) || n > kMaxWaitSeconds)
                return Fail(kExitUsage, L"--wait needs seconds, 0 to " + std::to_wstring(kMaxWaitSeconds));
            waitSeconds = static_cast<unsigned>(n);
        }
        else if (opt == L"--country" && comparesNumbers) {
            country = value.size() == 2 ? faxnum::CountryByIso(value) : nullptr;
            if (!country)
                return Fail(kExitUsage, L"--country needs a country's two-letter code (ISO 3166), e.g. DE; not: " + value);
        }
        else if (opt == L"--entries" && command == L"sample") {
            if (!ParseCount(value.c_str(), &entries)) return Fail(kExitUsage, L"--entries needs a count");
        } else if (opt == L"--groups" && command == L"sample") {
            if (!ParseCount(value.c_str(), &groups)) return Fail(kExitUsage, L"--groups needs a count");
        } else if (opt == L"--user" && directoryOptions) {
            job.bindDn = value;
            userGiven = true;
        } else if (opt == L"--bind-dn" && directoryOptions) {
            job.bindDn = value;
            directoryOptionGiven = true;
        } else if (opt == L"--password-file" && directoryOptions) {
            job.passwordFile = value;
            directoryOptionGiven = true;
        } else if (opt == L"--page-size" && directoryOptions) {
            int n = 0;
            if (!ParseCount(value.c_str(), &n)) return Fail(kExitUsage, L"--page-size needs a count (0: no paging)");
            job.pageSize = static_cast<uint32_t>(n);
            directoryOptionGiven = true;
        } else if (opt == L"--timeout" && directoryOptions) {
            int n = 0;
            if (!ParseCount(value.c_str(), &n) || n == 0 || n > 3600)
                return Fail(kExitUsage, L"--timeout needs seconds, 1 to 3600");
            job.timeoutSeconds = static_cast<uint32_t>(n);
            directoryOptionGiven = true;
        } else if (opt == L"--map" && directoryOptions) {
            directory::MappingFault fault = directory::MappingFault::None;
            std::wstring item;
            if (!directory::ParseMapping(value, job.mapping, fault, item))
                return Fail(kExitUsage, L"--map takes field=attribute,... (fields: name, fax, organization, phone, "
                                        L"email, mailbox; name and fax need one); not: " + item);
            directoryOptionGiven = true;
        } else if (opt == L"--groups-from" && directoryOptions) {
            if (!directory::IsAttributeName(value)) return Fail(kExitUsage, L"--groups-from needs an attribute name");
            job.mapping.groups = value;
            directoryOptionGiven = true;
        } else if (opt == L"--group" && reading) {
            if (CMString(value).IsBlank()) return Fail(kExitUsage, L"--group needs a group name");
            job.group = value;
        } else if (opt == L"--columns" && text) {
            if (!ParseColumns(value, reading, &job.layout.columns))
                return Fail(kExitUsage, L"--columns takes each of name, " +
                                            std::wstring(reading ? L"first-part, second-part, " : L"") +
                                            L"fax, organization, phone, email, mailbox at most once, separated by commas");
            columnsGiven = true;
        } else if (opt == L"--record-delimiter" && text) {
            if (!ParseDelimiter(value, true, &job.layout.recordDelimiter))
                return Fail(kExitUsage, L"--record-delimiter takes crlf, cr, lf, ff or 1 to 4 characters");
        } else if (opt == L"--field-delimiter" && text) {
            if (!ParseDelimiter(value, false, &job.layout.fieldDelimiter))
                return Fail(kExitUsage, L"--field-delimiter takes comma, tab or 1 to 4 characters");
        } else
            return Fail(kExitUsage, L"unknown option " + opt + L" for " + command + L" (pbtool --help)");
    }
    if (columnsGiven && job.layout.columns.empty()) return Fail(kExitUsage, L"--columns names no column");
    if (job.json && !job.dryRun) return Fail(kExitUsage, L"--json goes with --dry-run");
    if (!job.group.empty() && command == L"import" && !job.update)
        return Fail(kExitUsage, L"--group goes with sync or import --update");
    if (job.adopt && job.group.empty()) return Fail(kExitUsage, L"--adopt goes with --group");

    const size_t wanted = text ? 2 : 1;
    const size_t allowed = text ? 2 : command == L"convert" ? 2 : 1;
    if (operands.size() < wanted || operands.size() > allowed) return Usage();
    // A directory's URL where a file would be, or directory's one operand.
    const size_t urlAt = command == L"directory" ? 0 : 1;
    if ((reading || command == L"directory") && operands.size() > urlAt && carddav::IsHttpUrl(operands[urlAt])) {
        if (!carddav::ParseUrl(operands[urlAt], job.addressBook))
            return Fail(kExitUsage, L"not an address book's URL: " + operands[urlAt] +
                                        L" (http[s]://host[:port]/path, with the login in --user, not in the URL)");
        job.fromAddressBook = true;
    } else if ((reading || command == L"directory") && operands.size() > urlAt &&
               (command == L"directory" || IsDirectoryUrl(operands[urlAt]))) {
        directory::UrlFault fault = directory::UrlFault::None;
        if (!directory::ParseUrl(operands[urlAt], job.url, fault) && fault == directory::UrlFault::BadFilter)
            return Fail(kExitFailed, L"the URL's filter is not a valid LDAP filter: " + operands[urlAt]);
        if (fault != directory::UrlFault::None)
            return Fail(kExitUsage, L"not an LDAP URL this client can follow: " + operands[urlAt] +
                                        L" (ldap://host[:port]/base-DN[?attributes?scope?filter], or ldaps://)");
        // The URL's attributes are the only ones read; a list the mapping cannot honour is refused.
        directory::Mapping limited = job.mapping;
        const directory::RequestCheck check = directory::LimitToUrl(job.url, limited);
        using directory::RequestFault;
        if (check.fault != RequestFault::None)
            return Fail(kExitUsage, check.fault == RequestFault::NoNameAttribute ? L"the URL's attributes give no name"
                                    : check.fault == RequestFault::NoFaxAttribute ? L"the URL's attributes give no fax number"
                                    : check.fault == RequestFault::GroupsNotInUrl
                                        ? L"the URL's attributes lack " + check.attribute + L", which --groups-from names"
                                        : L"the URL asks for " + check.attribute + L", which no field reads (--map)");
        job.fromDirectory = true;
    }
    if (job.fromAddressBook && !ldapOnly.empty())
        return Fail(kExitUsage, ldapOnly + L" goes with a directory (an ldap:// or ldaps:// URL), not with an "
                                           L"address book; an address book's login is --user NAME");
    if (job.fromAddressBook && !fileOnly.empty())
        return Fail(kExitUsage, fileOnly + L" goes with a file, not with an address book (its cards are vCards)");
    if (userGiven && !job.fromAddressBook)
        return Fail(kExitUsage, L"--user goes with an address book (an http:// or https:// URL)");
    if (directoryOptionGiven && !job.fromDirectory && !job.fromAddressBook)
        return Fail(kExitUsage, L"--starttls, --bind-dn, --password-file, --page-size, --timeout, --map and "
                                L"--groups-from go with a directory (an ldap:// or ldaps:// URL)");
    if (command == L"directory") return job.fromAddressBook ? ListAddressBook(job) : ListDirectory(job);
    if (command == L"sample" && entries < 0) return Fail(kExitUsage, L"sample needs --entries N");
    const std::wstring path = operands[0];
    job.home = country ? country : HomeCountry();
    // The source is read once, however long the book keeps the job waiting.
    const std::shared_ptr<SourceCache> source = NewSourceCache();
    job.source = source.get();
    return WaitWhileBusy(path, waitSeconds, [&]() -> int {
        if (text) {
            job.book = operands[0];
            job.file = operands[1];
            if (command == L"sync") return SyncText(job);
            return command == L"import" ? ImportText(job) : ExportText(job);
        }
        if (command == L"convert") return ConvertBook(operands[0], operands.size() > 1 ? operands[1] : L"", job.replace);
        NoScreen noScreen;
        if (command == L"create") return CreateBook(path, format, job.replace);
        if (command == L"list") return List(path);
        if (command == L"verify") return Verify(path);
        if (command == L"duplicates") return Duplicates(path, job.home);
        if (command == L"sample") return SampleBook(path, entries, groups, job.replace);
        return Usage();
    });
}
