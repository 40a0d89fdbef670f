#pragma once
// Makes the objects of one served class. The module keeps one factory per
// class for its whole life, so the factory does not keep the module loaded.
#include "server/ServedClasses.h"
#include "shell/ComObject.h"

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const ServedClass& served) noexcept;

    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

private:
    ~ClassFactory() override = default;

    const ServedClass& served_;
};
