// COM on the calling thread for as long as one piece of work (a decode, an
// encode, a scaling) lasts. COM is given back only where this object started
// it; a thread that COM already serves, in either apartment, keeps it as it
// is. Interface pointers are held in Microsoft::WRL::ComPtr.
#pragma once

#include <objbase.h>
#include <wrl/client.h>

namespace paneloom::platform::win32 {

class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // COM can be used: started here, or already there in another mode.
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

}  // namespace paneloom::platform::win32
