// The setup program as users run it, in a 64-bit Wine prefix of its own:
// silent installs, upgrades, an upgrade while the module is in use, the
// rights of the install folder, the silent removal, and the language of its
// texts.
#include "EndToEnd.h"
#include "FolderTestSupport.h"
#include "NimbrelVersion.h"
#include "shell/ChildProcess.h"
#include "shell/NimbrelClassId.h"
#include "shell/RegistryText.h"
#include "shell/TextFormat.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string installFolder = "C:\\Program Files\\Nimbrel";
const std::string installedModule = installFolder + "\\Nimbrel.dll";
const std::string uninstallParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string uninstallKey = uninstallParent + "\\Nimbrel";
const std::string runOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const installedFiles[] = {"Nimbrel.dll", "NimbrelDEU.dll", "nimbrel.exe"};

// The setup programs of this build and of an older one, and the files each
// of them installs (Unix paths, made by the build in NIMBREL_INSTALLER_DIR).
struct Release {
    std::string version;
    std::string name;  // Nimbrel-<version>-setup

    std::wstring setup() const { return widen(hostPath(NIMBREL_INSTALLER_DIR "/" + name + ".exe")); }
    std::string file(const std::string& file) const { return hostPath(NIMBREL_INSTALLER_DIR "/" + name + "/" + file); }
};
const Release current{NIMBREL_VERSION_TEXT, "Nimbrel-" NIMBREL_VERSION_TEXT "-setup"};
const Release older{NIMBREL_OLDER_VERSION, "Nimbrel-" NIMBREL_OLDER_VERSION "-setup"};

std::string contents(const std::string& path) {
    std::ifstream file(fs::path(widen(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string resourceVersion(const std::string& version) {
    std::string text = version;
    for (std::size_t dot; (dot = text.find('.')) != std::string::npos;) text.replace(dot, 1, ", ");
    return text;
}

// The installed-apps entry as the setup program of `release` writes it.
std::string installedAppsEntry(const Release& release) {
    std::uintmax_t bytes = 0;
    for (const auto& file : fs::directory_iterator(fs::path(widen(installFolder)))) bytes += file.file_size();
    char size[16];
    std::snprintf(size, sizeof size, "0x%jx", bytes / 1024);
    const std::string uninstaller = "\"" + installFolder + "\\Uninstall.exe\"";
    return "DisplayIcon=\"" + installedModule + ",0\" DisplayName=\"Nimbrel\" DisplayVersion=\"" + release.version +
           "\" EstimatedSize=" + size + " InstallLocation=\"" + installFolder +
           "\" NoModify=0x1 NoRepair=0x1 Publisher=\"Korvel\" QuietUninstallString=\"" + uninstaller +
           " /S\" UninstallString=\"" + uninstaller + "\"";
}

// How many entries of the installed apps, in either view, are Nimbrel's.
int nimbrelEntries() {
    int count = 0;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const std::string entries = describeKey(HKEY_LOCAL_MACHINE, uninstallParent, view),
                          name = "DisplayName=\"Nimbrel\"";
        for (auto at = entries.find(name); at != std::string::npos; at = entries.find(name, at + 1)) ++count;
    }
    return count;
}

unsigned long install(const Release& release, const std::string& folder = {}) {
    return runProgram(L"\"" + release.setup() + L"\" /S" + (folder.empty() ? L"" : L" /D=" + widen(folder)));
}

// The groups of ordinary users that the folder's rights let change what is
// in it (write, add, delete, or change its rights), as SDDL names.
std::vector<std::string> usersWhoMayChange(const std::string& folder) {
    PACL rights = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(widen(folder).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &rights, nullptr, &descriptor))
        return {"(unreadable)"};
    std::vector<std::string> groups;
    if (!rights) groups.emplace_back("(no access list: everyone)");
    const ACCESS_MASK change = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                               WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD index = 0; rights && index < rights->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* entry = nullptr;
        if (!GetAce(rights, index, reinterpret_cast<void**>(&entry)) ||
            entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !(entry->Mask & change))
            continue;
        for (WELL_KNOWN_SID_TYPE users : {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid, WinInteractiveSid})
            if (IsWellKnownSid(&entry->SidStart, users)) {
                wchar_t* name = nullptr;
                ConvertSidToStringSidW(&entry->SidStart, &name);
                groups.push_back(name ? narrow(name) : "?");
                LocalFree(name);
            }
    }
    LocalFree(descriptor);
    return groups;
}

// The removal as the installed-apps entry asks for it. The uninstaller
// copies itself away and goes on from there, so this waits for its work.
void uninstall() {
    char command[512] = {};
    DWORD size = sizeof command;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "QuietUninstallString", RRF_RT_REG_SZ, nullptr, command,
                     &size))
        return;
    ASSERT_EQ(runProgram(widen(command)), 0u);
    for (int wait = 0; wait < 300 && (keyExists(HKEY_LOCAL_MACHINE, uninstallKey) || fs::exists(installFolder)); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void expectInstalled(const Release& release) {
    for (const char* name : installedFiles) {
        const std::string built = contents(release.file(name));
        ASSERT_FALSE(built.empty()) << release.file(name);
        EXPECT_TRUE(contents(installFolder + "\\" + name) == built) << name << " is not the one of " << release.version;
    }
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, uninstallKey), installedAppsEntry(release));
    EXPECT_EQ(nimbrelEntries(), 1);
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, nimbrelClassKey), registeredClassKey(installedModule));
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey), registeredNameSpaceKey);
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override { uninstall(); }
};

TEST_F(InstallerTest, SilentInstallPlacesTheFilesRegistersLikeRegsvr32AndTheInstalledFolderListsADevice) {
    ASSERT_EQ(install(current), 0u);
    expectInstalled(current);
    std::vector<std::string> names;
    for (const auto& file : fs::directory_iterator(fs::path(widen(installFolder))))
        names.push_back(file.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Nimbrel.dll", "NimbrelDEU.dll", "ReadMe.txt", "Uninstall.exe",
                                               "nimbrel.exe"}));
    const std::string readMeStart = "\xEF\xBB\xBFNimbrel " NIMBREL_VERSION_TEXT "\r\n";
    EXPECT_EQ(contents(installFolder + "\\ReadMe.txt").substr(0, readMeStart.size()), readMeStart);
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, nimbrelClassKey, KEY_WOW64_32KEY), "(absent)") << "32-bit view";
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey, KEY_WOW64_32KEY), "(absent)") << "32-bit view";

    // The shell's way in: the registered class, made by COM from the
    // installed module, lists the one device on a mapped COM port.
    TempDir folder;
    const auto device = startDevices(folder, {{5, "model=CV8,serial=CV8-0005,text=HELLO.TXT:hello"}});
    {
        ComAndTexts com;
        ComPtr<IPersistFolder> persist;
        ASSERT_EQ(CoCreateInstance(CLSID_NimbrelFolder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&persist)), S_OK);
        EXPECT_NE(GetModuleHandleA(installedModule.c_str()), nullptr) << "COM made the folder from another module";
        const USHORT desktop = 0;
        ASSERT_EQ(persist->Initialize(reinterpret_cast<PCIDLIST_ABSOLUTE>(&desktop)), S_OK);
        ComPtr<IShellFolder> root;
        ASSERT_EQ(persist.As(&root), S_OK);
        const Listing files = listFolder(root);
        ASSERT_EQ(files.result, S_OK);
        EXPECT_EQ(files.names(), std::vector<std::string>{"HELLO.TXT"}) << "the one device's files";
    }
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleA(installedModule.c_str()), nullptr) << "the module must not stay loaded";
}

TEST_F(InstallerTest, InstallingOverAnOlderOrTheSameVersionKeepsOneEntryWithTheNewerFilesAndANewerOneIsKept) {
    ASSERT_EQ(install(older), 0u);
    expectInstalled(older);
    EXPECT_EQ(fileVersionOf(installedModule), resourceVersion(older.version));
    ASSERT_EQ(install(current), 0u);
    expectInstalled(current);
    EXPECT_EQ(fileVersionOf(installedModule), resourceVersion(current.version));
    ASSERT_EQ(install(current), 0u);
    expectInstalled(current);
    EXPECT_EQ(install(older), 2u) << "the older setup program must refuse to replace a newer Nimbrel";
    expectInstalled(current);
}

// Explorer holds the module it shows: the new one takes its place at the
// next restart (for Wine, "wineboot -r"), and registers itself then.
TEST_F(InstallerTest, AnUpgradeOfAModuleInUseFinishesAtTheNextRestart) {
    ASSERT_EQ(install(older), 0u);
    UniqueModule inUse(LoadLibraryA(installedModule.c_str()));
    ASSERT_TRUE(inUse);
    EXPECT_EQ(install(current), 3010u) << "ERROR_SUCCESS_REBOOT_REQUIRED";
    EXPECT_EQ(fileVersionOf(installedModule), resourceVersion(older.version));
    EXPECT_EQ(fileVersionOf(installFolder + "\\NimbrelDEU.dll"), resourceVersion(current.version)) << "not in use";
    EXPECT_NE(describeKey(HKEY_LOCAL_MACHINE, uninstallKey).find("DisplayVersion=\"" + current.version + "\""),
              std::string::npos);
    EXPECT_NE(describeKey(HKEY_LOCAL_MACHINE, runOnceKey).find("Nimbrel="), std::string::npos);
    inUse.reset();

    ASSERT_EQ(runProgram(L"wineboot.exe -r"), 0u);
    expectInstalled(current);
    EXPECT_FALSE(fs::exists(installedModule + ".new"));
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, runOnceKey).find("Nimbrel="), std::string::npos);
}

// Every user's Explorer loads the module, so only administrators and the
// system may change the folder it comes from, wherever /D= puts it; a
// folder that already holds someone else's files is refused untouched.
// (Wine keeps of a folder's rights what the Unix mode holds, and passes none
// on to the files in it: the folder's own rights are what is checked here.)
TEST_F(InstallerTest, TheInstallFolderTakesProgramFilesRightsAndAFolderWithOtherFilesIsRefused) {
    // Folders with no access list at all: anyone may change them.
    const auto makeOpenFolder = [](const std::string& folder) {
        ASSERT_TRUE(CreateDirectoryW(widen(folder).c_str(), nullptr));
        ASSERT_EQ(SetNamedSecurityInfoW(widen(folder).data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        ASSERT_FALSE(usersWhoMayChange(folder).empty());
    };
    const std::string shared = "C:\\users\\Public\\Nimbrel";
    makeOpenFolder(shared);
    ASSERT_EQ(install(current, shared), 0u);
    EXPECT_NE(describeKey(HKEY_LOCAL_MACHINE, uninstallKey).find("InstallLocation=\"" + shared + "\""),
              std::string::npos);
    EXPECT_EQ(usersWhoMayChange(shared), std::vector<std::string>{});
    uninstall();
    EXPECT_FALSE(fs::exists(shared));

    const std::string tools = "C:\\users\\Public\\Tools";
    makeOpenFolder(tools);
    std::ofstream(fs::path(widen(tools + "\\version.dll"))) << "someone else's";
    const std::vector<std::string> before = usersWhoMayChange(tools);
    EXPECT_EQ(install(current, tools), 2u);
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, uninstallKey), "(absent)");
    EXPECT_EQ(usersWhoMayChange(tools), before);
    EXPECT_EQ(contents(tools + "\\version.dll"), "someone else's");
    EXPECT_FALSE(fs::exists(tools + "\\Nimbrel.dll"));
    fs::remove_all(fs::path(widen(tools)));
}

TEST_F(InstallerTest, SilentUninstallRemovesFilesFolderAndKeysButKeepsTheirParentsAndTheRememberedDeviceNames) {
    ASSERT_EQ(install(current), 0u);
    const char names[] = "Software\\Korvel\\Nimbrel\\DEVICES\\CV8";
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, names, "CV8-0042", REG_SZ, "Kitchen Corvia", 15), ERROR_SUCCESS);
    uninstall();
    EXPECT_FALSE(fs::exists(installFolder));
    EXPECT_EQ(describeKey(HKEY_CLASSES_ROOT, nimbrelClassKey), "(absent)");
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, nimbrelNameSpaceKey), "(absent)");
    EXPECT_EQ(describeKey(HKEY_LOCAL_MACHINE, uninstallKey), "(absent)");
    EXPECT_EQ(nimbrelEntries(), 0);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, nameSpaceParentKey));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, uninstallParent));
    EXPECT_EQ(describeKey(HKEY_CURRENT_USER, names), "CV8-0042=\"Kitchen Corvia\"");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Korvel");
}

// The caption of the setup program's first page. Wine gives the setup
// program the user language of this process (its LC_ALL).
std::string setupCaption() {
    const ChildProcess setup = startProgram(L"\"" + current.setup() + L"\"");
    if (!setup.process) return "(not started)";
    struct Search {
        DWORD process;
        std::string caption;
    } search{setup.id, {}};
    for (int wait = 0; wait < 300 && search.caption.empty(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t caption[128] = {};
                if (owner == search.process && IsWindowVisible(window)) GetWindowTextW(window, caption, 128);
                search.caption = narrow(caption);
                return search.caption.empty();
            },
            reinterpret_cast<LPARAM>(&search));
    }
    TerminateProcess(setup.process.get(), 1);
    WaitForSingleObject(setup.process.get(), 10000);
    return search.caption.empty() ? "(no window)" : search.caption;
}

// ctest runs this in the build's locale and again in a German one.
TEST_F(InstallerTest, TheSetupProgramSpeaksGermanToGermanUsersAndEnglishToAllOthers) {
    const char* locale = std::getenv("LC_ALL");
    const bool german = locale && std::string(locale).rfind("de_", 0) == 0;
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN, german) << "Wine took another language";
    EXPECT_EQ(setupCaption(),
              german ? "Installation von Nimbrel " NIMBREL_VERSION_TEXT : "Nimbrel " NIMBREL_VERSION_TEXT " Setup");
}

}  // namespace
