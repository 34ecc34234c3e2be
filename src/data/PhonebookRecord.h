#pragma once
// The in-memory record that leaves the storage wrapper. Lists of records are vectors of
// shared pointers whose blocks come from one pool. A group's name is its plain name, as
// the file keeps it; IsGroup tells the kind.
#include <cstdint>
#include <memory>
#include <vector>

#include "util/CMString.h"

struct PhonebookRecord {
    static constexpr int kNameWidth = 32;
    static constexpr int kFaxWidth = 47;
    static constexpr int kOrganizationWidth = 60;
    static constexpr int kPhoneWidth = 47;
    static constexpr int kEmailWidth = 60;
    static constexpr int32_t kImageEntry = 10444;
    static constexpr int32_t kImageGroup = 10443;

    // The engine's id, as the file keeps it.
    uint16_t id = 0;
    wchar_t name[kNameWidth] = {};
    wchar_t fax[kFaxWidth] = {};
    wchar_t organization[kOrganizationWidth] = {};
    wchar_t phone[kPhoneWidth] = {};
    wchar_t email[kEmailWidth] = {};
    uint32_t mailbox = 0;
    int32_t imageId = kImageEntry;

    bool IsGroup() const { return imageId == kImageGroup; }
};

using RecordPtr = std::shared_ptr<PhonebookRecord>;
using RecordList = std::vector<RecordPtr>;

// A zeroed record (an entry) from the records' pool.
RecordPtr MakeRecord();

// Copies text into a fixed field, cut to its width less one and always terminated.
template <size_t N>
void CopyField(wchar_t (&field)[N], const CMString& text) {
    size_t n = std::min(static_cast<size_t>(text.GetLength()), N - 1);
    for (size_t i = 0; i < n; ++i) field[i] = text.c_str()[i];
    for (size_t i = n; i < N; ++i) field[i] = 0;
}
