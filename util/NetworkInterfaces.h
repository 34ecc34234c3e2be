#pragma once

namespace NetworkInterfaces {
// What the platform's network list says: some connection reaches the internet.
bool CanUserAccessInternet();
}  // namespace NetworkInterfaces
