#include "util/NetworkInterfaces.h"

#include <windows.h>
#include <netlistmgr.h>
#include <objbase.h>

namespace NetworkInterfaces {

bool CanUserAccessInternet() {
    // Callers may or may not have COM set up on their thread; balance only our own init.
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool result = false;
    INetworkListManager* manager = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                   reinterpret_cast<void**>(&manager))) && manager) {
        NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
        if (SUCCEEDED(manager->GetConnectivity(&connectivity)))
            result = (connectivity & (NLM_CONNECTIVITY_IPV4_INTERNET | NLM_CONNECTIVITY_IPV6_INTERNET)) != 0;
        manager->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return result;
}

}  // namespace NetworkInterfaces
