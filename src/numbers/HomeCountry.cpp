#include "numbers/HomeCountry.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

const faxnum::Country* HomeCountry() {
    // Asked each time: the user may change the region while the program runs.
    GEOID geo = GetUserGeoID(GEOCLASS_NATION);
    if (geo == GEOID_NOT_AVAILABLE)
        return nullptr;
    wchar_t iso[8] = {};
    if (GetGeoInfoW(geo, GEO_ISO2, iso, static_cast<int>(std::size(iso)), 0) <= 0)
        return nullptr;
    return faxnum::CountryByIso(std::wstring_view(iso, wcsnlen(iso, std::size(iso))));
}
