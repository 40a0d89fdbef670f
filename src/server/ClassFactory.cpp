#include "server/ClassFactory.h"

ClassFactory::ClassFactory(const ServedClass& served) noexcept : ComObject(LiveCount::notCounted), served_(served) {}

const QITAB* ClassFactory::interfaces() noexcept {
    static const QITAB table[] = {
        interfaceEntry<ClassFactory, IClassFactory>(),
        {},
    };
    return table;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    return comBoundary([&] { return served_.createInstance(riid, object); });
}

HRESULT ClassFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        moduleState().lockServer();
    } else {
        moduleState().unlockServer();
    }
    return S_OK;
}
