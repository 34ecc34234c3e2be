#pragma once
#include <string_view>

namespace MorvaUtilities {
// One "@", a non-empty local part, a domain with a dot between non-empty labels,
// no blanks or control characters anywhere.
bool IsEmailAddressValid(std::wstring_view address);
}  // namespace MorvaUtilities
