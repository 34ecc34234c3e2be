#pragma once
// Export of the phone book's entries to a delimited text file and import of the
// records of one, with the settings of the import/export dialog. Messages are shown
// over the owner window; the list is not updated row by row (its owner reloads it).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/MessageDialog.h"
#include "importexport/core/BookUpdate.h"
#include "importexport/core/DelimitedText.h"
#include "importexport/core/NamedColumns.h"
#include "util/CMString.h"

class CPhonebook;

struct DelimitedTextSettings {
    // The two delimiters and the selected columns in list order.
    delimited::Layout layout;
    // false: the system's ANSI code page (UTF-8 too where the system has that as its
    // ANSI code page).
    bool utf8 = true;
    // Of the open phone book, for the import summary.
    int capacity = 1000;
    // Export: a first line of the column labels, and every field quoted as needed so
    // that any value reads back (the quoted form). Off: the program's own form.
    bool header = false;
    // Import: a record whose name is in the book updates that entry (BookUpdate tells
    // which) instead of being added beside it.
    bool update = false;
    // Called now and then during a long job with how far it is: import in bytes of the
    // file, export in rows of the list.
    std::function<void(uint64_t done, uint64_t total)> progress;
};

class DelimitedTextFile {
public:
    explicit DelimitedTextFile(CPhonebook& model, HWND owner = nullptr);
    DelimitedTextFile(const DelimitedTextFile&) = delete;
    DelimitedTextFile& operator=(const DelimitedTextFile&) = delete;

    void SetOwner(HWND owner) { m_owner = owner; }
    DelimitedTextSettings& Settings() { return m_settings; }
    const DelimitedTextSettings& Settings() const { return m_settings; }

    // Writes every entry row of the model's active list (groups never). The path gets
    // ".csv" unless it ends in ".csv" or ".txt"; one ending in ".vcf" gets vCard cards. False when the user keeps an existing
    // file, it is read-only, or it cannot be created or written. Characters the ANSI
    // code page lacks are counted in a summary.
    bool ExportToFile(const CMString& path);
    // Adds the file's records to the phone book and, when some were not imported, shows
    // the summary. False when the file cannot be opened or read to its end (what was read
    // before stays imported, and the summary says so). A file whose first line names its
    // columns is read by those names (FileHeader tells).
    bool ImportFromFile(const CMString& path);
    // Parses, checks and adds one record, counting what became of it: by the names of
    // the file being imported, if its first line gave them, else by position. False asks
    // the reader to stop: the list is already at the phone book's capacity.
    bool ImportRecord(const CMString& recordText);
    // How an import with these settings would read the file: named or not named (also
    // when it cannot be opened).
    delimited::Header Examine(const CMString& path) const;
    // What the dialog's note needs of a file, read once for its name: its first bytes (as
    // far as the first record can reach), how it is encoded, whether it holds cards.
    struct Glance {
        bool opened = false;
        std::string head;
        delimited::FileStart encoding[2];  // with the UTF-8 choice off, on
        bool cards = false;
        size_t cardCount = 0;
    };
    static Glance Look(const CMString& path);
    // Examine on what Look read, with these settings: no reading of the file again.
    delimited::Header Examine(const Glance& glance) const;
    // Whether the file is a vCard file, by its first bytes, whatever its name.
    static bool IsVCard(const CMString& path);
    CMString QuoteField(const CMString& value) const;

    // Of the last import.
    const delimited::ImportCounters& Counters() const { return m_counters; }
    // Whether what the last import added was written to the file (its commit can fail,
    // a full disk for instance: then nothing of it is stored).
    bool Stored() const { return m_stored; }
    const delimited::Header& FileHeader() const { return m_header; }
    // The summary the last import or export showed (or would have: empty when all was well).
    const MessageSource& Summary() const { return m_summary; }
    // Of the last import that updated: the entries no accepted record named.
    std::vector<uint16_t> UnnamedEntries() const;

    // The book follows the file: an import that updates, and then every entry whose name
    // no accepted record gave is removed (and so leaves its groups), all in one commit.
    // Nothing is removed, and nothing at all is stored, when the file cannot be read to
    // its end, gives no accepted record, or would take more than half of the book's
    // entries without allowShrink; the book is closed then, its batch discarded.
    struct SyncResult {
        delimited::SyncRefusal refusal = delimited::SyncRefusal::None;
        uint32_t removed = 0;
        bool stored = false;
    };
    SyncResult SyncFromFile(const CMString& path, bool allowShrink);

private:
    // lacking counts the characters the ANSI code page had no place for.
    bool WriteRecords(HANDLE file, uint32_t& lacking);
    // Adds the entry, or updates the one of its name in an import that updates; *stored
    // gets the fields the book holds then.
    int AddOrUpdate(const delimited::EntryFields& fields, delimited::EntryFields* stored = nullptr);
    // Every entry row as a vCard 3.0 card, UTF-8, with its groups as categories.
    bool WriteCards(HANDLE file);
    // The same, and the entry joins the groups (made where the book lacks them).
    int Store(const delimited::EntryFields& fields, const std::vector<CMString>& groups);
    void StartUpdate();
    void ImportRecords(delimited::ByteSource& source);
    static bool IsVCardFile(delimited::ByteSource& source);
    void ImportCards(delimited::ByteSource& source);
    static std::wstring GroupKey(const CMString& name);
    bool BookIsFull() const;
    delimited::CharacterRules Rules() const;
    delimited::Header Recognise(delimited::ByteSource& source, const delimited::FileStart& encoding) const;

    CPhonebook& m_model;
    HWND m_owner;
    DelimitedTextSettings m_settings;
    delimited::ImportCounters m_counters;
    delimited::Header m_header;
    MessageSource m_summary;
    bool m_stored = true;
    std::unique_ptr<delimited::BookUpdate> m_update;
    std::vector<delimited::Column> m_present;  // the fields the file's columns fill
    std::unordered_map<std::wstring, uint16_t> m_groups;  // the book's groups by name, as an import needs them
    bool m_groupsKnown = false;
    bool m_namesOnly = false;  // a sync's first reading: the names, nothing stored
};

// The column whose label (in the current language) is exactly this text; false for none.
bool ColumnFromLabel(const CMString& label, delimited::Column& column);
CMString ColumnLabel(delimited::Column column);

// The names a header line may give its columns: the known names and the column labels
// of every language library beside the one in use.
const delimited::ColumnNames& ShippedColumnNames();
