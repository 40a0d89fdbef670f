#include "server/Registration.h"

#include "server/ServedClasses.h"
#include "shell/ShellResources.h"

namespace {

std::wstring classKeyPath(const ServedClass& served) {
    return std::wstring(L"CLSID\\") + served.classIdText;
}

std::wstring nameSpaceKeyPath(const ServedClass& served) {
    return std::wstring(desktopNameSpaceKey) + L"\\" + served.classIdText;
}

LSTATUS deleteTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// One step of the script: creates or opens a key below root.
class ScriptKey {
public:
    ScriptKey(HKEY root, const std::wstring& path) {
        HKEY key = nullptr;
        status_ =
            RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
        key_.reset(key);
    }
    LSTATUS status() const noexcept { return status_; }

    // The first failure sticks; later steps are skipped.
    ScriptKey& text(const wchar_t* name, const std::wstring& value) {
        if (status_ == ERROR_SUCCESS) {
            status_ = RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        }
        return *this;
    }
    ScriptKey& number(const wchar_t* name, DWORD value) {
        if (status_ == ERROR_SUCCESS) {
            status_ =
                RegSetValueExW(key_.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        }
        return *this;
    }

private:
    UniqueRegKey key_;
    LSTATUS status_;
};

LSTATUS writeClass(const ServedClass& served, const std::wstring& modulePath) {
    const std::wstring classKey = classKeyPath(served);
    const std::wstring nameSpaceKey = nameSpaceKeyPath(served);
    LSTATUS status = deleteTree(HKEY_CLASSES_ROOT, classKey);
    if (status == ERROR_SUCCESS) {
        status =
            ScriptKey(HKEY_CLASSES_ROOT, classKey).text(nullptr, served.name).text(L"InfoTip", served.infoTip).status();
    }
    if (status == ERROR_SUCCESS) {
        status = ScriptKey(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32")
                     .text(nullptr, modulePath)
                     .text(L"ThreadingModel", served.threadingModel)
                     .status();
    }
    if (status == ERROR_SUCCESS) {
        status = ScriptKey(HKEY_CLASSES_ROOT, classKey + L"\\DefaultIcon").text(nullptr, modulePath + L",0").status();
    }
    if (status == ERROR_SUCCESS) {
        status = ScriptKey(HKEY_CLASSES_ROOT, classKey + L"\\ShellFolder")
                     .number(L"Attributes", served.folderAttributes)
                     .status();
    }
    if (status == ERROR_SUCCESS) {
        status = deleteTree(HKEY_LOCAL_MACHINE, nameSpaceKey);
    }
    if (status == ERROR_SUCCESS) {
        status = ScriptKey(HKEY_LOCAL_MACHINE, nameSpaceKey).text(L"Removal Message", served.removalMessage).status();
    }
    return status;
}

}  // namespace

HRESULT registerServer(const std::wstring& modulePath) {
    for (const ServedClass& served : servedClasses()) {
        const LSTATUS status = writeClass(served, modulePath);
        if (status != ERROR_SUCCESS) {
            unregisterServer();
            return HRESULT_FROM_WIN32(status);
        }
    }
    return S_OK;
}

HRESULT unregisterServer() {
    LSTATUS first = ERROR_SUCCESS;
    for (const ServedClass& served : servedClasses()) {
        for (LSTATUS status : {deleteTree(HKEY_CLASSES_ROOT, classKeyPath(served)),
                               deleteTree(HKEY_LOCAL_MACHINE, nameSpaceKeyPath(served))}) {
            if (first == ERROR_SUCCESS) {
                first = status;
            }
        }
    }
    return HRESULT_FROM_WIN32(first);
}
