#pragma once
// The shared base of every COM object of the namespace: reference counting,
// QueryInterface through the class's interface table, and the module's
// live-object count that DllCanUnloadNow reads.
//
//   class Thing final : public ComObject<Thing, IFoo, IBar> {
//   public:
//       static const QITAB* interfaces() noexcept;   // interfaceEntry<Thing, IFoo>(), ..., {}
//   private:
//       ~Thing() override;                           // only the last Release deletes
//   };
//   ComPtr<Thing> thing = makeComObject<Thing>(args...);
#include "shell/ModuleState.h"

#include <windows.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <atomic>
#include <exception>
#include <new>
#include <utility>

using Microsoft::WRL::ComPtr;

// One row of a class's interface table: `Object` seen as `Interface`, through
// its base `Via` where two bases share the interface. (MinGW's QITABENT puts
// an unsigned offset into QITAB's int, which only GCC lets pass in a list.)
template <typename Object, typename Interface, typename Via = Interface>
QITAB interfaceEntry(const IID& id = __uuidof(Interface)) {
    return {&id, static_cast<int>(OFFSETOFCLASS(Via, Object))};
}

// Whether an object keeps the module loaded. The cached class factory does
// not: the module owns it, and it must not block its own unloading.
enum class LiveCount { counted, notCounted };

template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        return QISearch(static_cast<Derived*>(this), Derived::interfaces(), riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    explicit ComObject(LiveCount count = LiveCount::counted) noexcept : counted_(count == LiveCount::counted) {
        if (counted_) {
            moduleState().objectCreated();
        }
    }
    virtual ~ComObject() {
        if (counted_) {
            moduleState().objectDestroyed();
        }
    }

private:
    std::atomic<ULONG> references_{1};
    const bool counted_;
};

// New objects start with one reference, handed over to the returned
// pointer. (MinGW's ComPtr::Attach adds a reference, unlike Microsoft's, so
// the pointer is written into the empty ComPtr directly.)
template <typename T, typename... Args>
ComPtr<T> makeComObject(Args&&... args) {
    ComPtr<T> object;
    *object.ReleaseAndGetAddressOf() = new T(std::forward<Args>(args)...);
    return object;
}

// A failure with a COM status, thrown inside a method body and returned at
// its edge by comBoundary.
class ComFailure : public std::exception {
public:
    explicit ComFailure(HRESULT result) noexcept : result_(result) {}
    HRESULT result() const noexcept { return result_; }
    const char* what() const noexcept override { return "COM failure"; }

private:
    HRESULT result_;
};

inline void throwIfFailed(HRESULT result) {
    if (FAILED(result)) {
        throw ComFailure(result);
    }
}

// Runs the body of a COM method; nothing thrown inside ever reaches the
// caller, who gets a status instead. The status depends only on the kind
// of failure, never on a message.
template <typename Body>
HRESULT comBoundary(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const ComFailure& failure) {
        return failure.result();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
