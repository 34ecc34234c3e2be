#pragma once
// The user's home country, for reading national fax numbers.
#include "numbers/core/FaxNumber.h"

// The country of the user's Windows region (Settings, Region, Country or region), or
// nullptr when none is set or it is not in the table.
const faxnum::Country* HomeCountry();
