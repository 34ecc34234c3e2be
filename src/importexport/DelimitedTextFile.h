#pragma once
// Export of the phone book's entries to a delimited text or vCard file, and the
// reading of such a file's records for an import, with the settings of the
// import/export dialog. Messages are shown over the owner window.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/MessageDialog.h"
#include "importexport/core/DelimitedText.h"
#include "importexport/core/NamedColumns.h"
#include "intake/core/Records.h"
#include "data/PhonebookRecord.h"
#include "util/CMString.h"

class CPhonebook;

struct DelimitedTextSettings {
    // The two delimiters and the selected columns in list order.
    delimited::Layout layout;
    // false: the system's ANSI code page (UTF-8 too where the system has that as its
    // ANSI code page).
    bool utf8 = true;
    // Export: a first line of the column labels, and every field quoted as needed so
    // that any value reads back (the quoted form). Off: the program's own form.
    bool header = false;
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
    // Reads every record of the file once: a vCard file's cards, or delimited text by
    // the names its first line gives (FileHeader tells) or by position. False when the
    // file cannot be opened (told over the owner window); a read that fails part-way
    // keeps what it read and is not complete. Nothing in the book changes.
    bool Read(const CMString& path, intake::SourceRead& out);
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

    const delimited::Header& FileHeader() const { return m_header; }
    // The summary the last export showed (empty when all was well).
    const MessageSource& Summary() const { return m_summary; }
private:
    // lacking counts the characters the ANSI code page had no place for.
    bool WriteRecords(HANDLE file, const RecordList& records, uint32_t& lacking);
    // Every entry row as a vCard 3.0 card, UTF-8, with its groups as categories.
    bool WriteCards(HANDLE file, const RecordList& records);
    delimited::CharacterRules Rules() const;
    delimited::Header Recognise(delimited::ByteSource& source, const delimited::FileStart& encoding) const;

    CPhonebook& m_model;
    HWND m_owner;
    DelimitedTextSettings m_settings;
    delimited::Header m_header;
    MessageSource m_summary;
};

// The column whose label (in the current language) is exactly this text; false for none.
bool ColumnFromLabel(const CMString& label, delimited::Column& column);
CMString ColumnLabel(delimited::Column column);

// The names a header line may give its columns: the known names and the column labels
// of every language library beside the one in use.
const delimited::ColumnNames& ShippedColumnNames();
