#pragma once
// The formats a data object of device files offers the shell, one per call
// to Next. The private formats of the namespace are not listed.
#include "shell/ComObject.h"

#include <objidl.h>

class FormatEnumerator final : public ComObject<FormatEnumerator, IEnumFORMATETC> {
public:
    FormatEnumerator() = default;
    static const QITAB* interfaces() noexcept;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** clone) noexcept override;

private:
    ~FormatEnumerator() override = default;

    LONG position_ = 0;
};
