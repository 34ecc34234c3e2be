#include "dialogs/core/GroupName.h"

bool IsUsableGroupName(const CMString& name, const CMString& placeholder) {
    return !name.IsBlank() && !name.EqualsNoCase(placeholder.view());
}
