// The component-object base the DirectX stand-ins build on: interface ids,
// a reference-counted object, and creation of objects by class id.
#pragma once

#include <atomic>

#include "platform/types.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

bool IsEqualGUID(const GUID& a, const GUID& b);
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

extern const IID IID_IUnknown;

struct D_IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~D_IUnknown() = default;
};

// Reference counting shared by every stand-in object. The object deletes
// itself when the last reference is released. Derived classes answer
// QueryInterface for their own interfaces and pass the rest here.
// Stand-in objects alive now (made and not yet released to zero).
int PlatformLiveComObjectCount();
void PlatformCountComObject(int change);

template <class Interface>
class ComObject : public Interface {
public:
    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override {
        ULONG left = --refCount_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG RefCount() const { return refCount_; }

protected:
    ComObject() { PlatformCountComObject(+1); }
    ~ComObject() override { PlatformCountComObject(-1); }

private:
    std::atomic<ULONG> refCount_{1};
};

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;

HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// A factory makes a new object of one class and answers for the interface.
using ComClassFactory = HRESULT (*)(REFIID riid, void** object);

// Later stand-ins (DirectDraw, DirectSound, ...) register their classes here.
void RegisterComClass(REFCLSID clsid, ComClassFactory factory);
void UnregisterComClass(REFCLSID clsid);

HRESULT CoCreateInstance(REFCLSID clsid, D_IUnknown* outer, DWORD context, REFIID riid, void** object);

// How many CoInitialize calls are not yet matched; for tests.
int ComInitCount();
