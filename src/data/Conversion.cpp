// Conversion of an older-format phone book into a current-format file beside it.
#include <memory>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "data/CPhonebook.h"
#include "data/PhonebookDB.h"
#include "resources/text_ids.h"

CMString CurrentFormatName(const CMString& path) {
    int dot = path.ReverseFind(L'.');
    return path.Left(dot + 1) + L"mpb2";
}

namespace {

// Whether the file at the path can be converted: it opens writable and is older.
bool Qualifies(PhonebookDB& db, const CMString& path) {
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    bool opened = db.Open(path, 0, 0);
    bool qualifies = opened && !db.IsReadOnly() && !db.IsCurrentFormat();
    db.Close();
    return qualifies;
}

// Whether two paths name the same file as far as their full forms tell.
bool SamePath(const CMString& a, const CMString& b) {
    auto full = [](const CMString& path) {
        wchar_t buffer[MAX_PATH * 2] = {};
        const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
        return n > 0 && n < MAX_PATH * 2 ? CMString(buffer, n) : path;
    };
    return full(a).EqualsNoCase(full(b).view());
}

// Whether the target may be replaced: true when it does not exist or the user agrees.
bool MayReplace(const CMString& target) {
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    const CMString caption = app::Text(IDS_CONVERT_CAPTION);
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        ShowMessageBox(nullptr, app::Text(IDS_TARGET_READONLY), caption, MB_OK, false);
        return false;
    }
    return ShowMessageBox(nullptr, app::Text(IDS_TARGET_REPLACE), caption, MB_OKCANCEL, false) == IDOK;
}

// The new book is written beside the target and takes its place only when complete, so
// a conversion that fails leaves the old target as it was.
CMString WorkingNameFor(const CMString& target) { return target + L".converting"; }

}  // namespace

bool PhonebookDB::ConvertToCurrentFormat() { return ConvertToCurrentFormat(CurrentFormatName(m_path)); }

bool PhonebookDB::ConvertToCurrentFormat(const CMString& target,
                                         const std::function<void(size_t, size_t)>& progress) {
    const CMString path = m_path;
    if (path.IsEmpty() || target.IsEmpty()) return false;
    // An older book that already bears the current extension would be its own target:
    // making room for the copy would delete the book.
    if (SamePath(path, target)) return false;
    if (!Qualifies(*this, path)) return false;
    if (!MayReplace(target)) return false;
    const CMString working = WorkingNameFor(target);

    auto source = std::make_unique<PhonebookDB>();
    source->SetOwnerWindow(m_owner);
    source->FindEngine();
    source->SetWideMode(true);
    source->SetCurrentFormat(true);
    bool result = false;
    bool created = false;
    if (source->Open(path, 0, 1)) {
        RecordList records;
        source->SetSearchText(CMString());
        // A book that cannot be read now (another program is changing it) must not
        // become an empty twin that is never offered for conversion again.
        if (const int code = source->Enumerate(records, true); code != pbabi::kOk) {
            source->ShowReadFailed(code);
            source->Close();
            return false;
        }
        created = Create(working);
        result = created;
        if (created) {
            // A copy being made has nothing to take back.
            const bool undoKept = m_undoKept;
            m_undoKept = false;
            struct Restore {
                bool& kept;
                bool value;
                ~Restore() { kept = value; }
            } restore{m_undoKept, undoKept};
            // Every record in one commit: a conversion pays for the disk once.
            ChangeBatch batch(*this);
            EngineRecord scratch = NewEngineRecord();
            RecordList members;
            size_t copied = 0;
            for (const auto& record : records) {
                ToEngineRecord(*record, scratch);
                if (!record->IsGroup()) {
                    result = AddRecord(scratch, false) == 0;
                } else {
                    members.clear();
                    if (source->ReadRecordById(record->id))
                        source->ListGroupMembers(members);
                    CMString name = NameOf(scratch);
                    result = CreateGroup(name, nullptr, false);
                    if (result && !members.empty()) result = AddGroupMembers(m_current.Id(), members);
                }
                if (!result) break;
                if (progress) progress(++copied, records.size());
            }
            if (!batch.End()) result = false;
        }
        source->Close();
    }
    Close();
    source.reset();
    // A half-filled target would stand beside the old file as its converted twin, and
    // the conversion would never be offered again.
    if (result) result = MoveFileExW(working.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (result) m_path = target;
    if (created && !result) DeleteFileW(working.c_str());
    return result;
}

bool CPhonebook::ConvertFile(const CMString& path) {
    m_database.SetPath(path);
    if (!m_database.ConvertToCurrentFormat()) return false;
    m_database.SetWideMode(true);
    m_database.SetCurrentFormat(true);
    return m_database.Open(CurrentFormatName(path), 0, 0);
}
