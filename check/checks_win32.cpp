#include "check/checks_win32.h"

#include <tlhelp32.h>

#include <cstddef>

#include "check/readers_win32.h"
#include "check/verdicts.h"
#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/launch_command.h"
#include "handler/ui_language.h"
#include "handler/ui_strings_win32.h"
#include "module/class_ids.h"

namespace nivra {

namespace {

// Wide text joined from narrow pieces at compile time: the class identifiers are spelled once,
// in module/class_ids.h, for the DLL and this program alike.
template <std::size_t N>
struct WideText {
    wchar_t text[N] = {};
};

template <std::size_t... N>
constexpr WideText<(N + ...) - sizeof...(N) + 1> Join(const char (&... pieces)[N]) noexcept {
    WideText<(N + ...) - sizeof...(N) + 1> joined;
    std::size_t at = 0;
    const auto append = [&](const char* piece) {
        while (*piece != '\0')
            joined.text[at++] = static_cast<wchar_t>(*piece++);
    };
    (append(pieces), ...);
    return joined;
}

constexpr auto kClassIdText = Join(kHandlerClassId);
constexpr auto kClassKeyText = Join("Software\\Classes\\CLSID\\", kHandlerClassId);
constexpr auto kServerKeyText =
    Join("Software\\Classes\\CLSID\\", kHandlerClassId, "\\InprocServer32");
constexpr auto kClassKey32Text = Join("Software\\Classes\\Wow6432Node\\CLSID\\", kHandlerClassId);
constexpr auto kServerKey32Text =
    Join("Software\\Classes\\Wow6432Node\\CLSID\\", kHandlerClassId, "\\InprocServer32");
constexpr auto kCommandIndexText = Join("PackagedCom\\ClassIndex\\", kExplorerCommandClassId);
constexpr const wchar_t* kClassId = kClassIdText.text;
constexpr const wchar_t* kClassKey = kClassKeyText.text;
constexpr const wchar_t* kServerKey = kServerKeyText.text;
constexpr const wchar_t* kClassKey32 = kClassKey32Text.text;
constexpr const wchar_t* kServerKey32 = kServerKey32Text.text;
// Where a package registered for this user lists the explorer command's class.
constexpr const wchar_t* kCommandIndex = kCommandIndexText.text;
constexpr wchar_t kHandlerKey[] =
    L"Software\\Classes\\*\\ShellEx\\ContextMenuHandlers\\NivraShellExt";
constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr wchar_t kBlockedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";
constexpr wchar_t kPolicyKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
// The Windows 11 menu's class: a per-user InprocServer32 under it restores the old menu.
constexpr wchar_t kNewMenuOverride[] =
    L"Software\\Classes\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32";
// The packages provisioned for every user of the machine, one subkey per package full name
// with the path of its manifest in `Path`; Windows registers them for each user at sign-in.
// Readable without administrator rights.
constexpr wchar_t kProvisionedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications";
constexpr DWORD kFirstLevelBuild = 22000;

struct System {
    DWORD major = 0, minor = 0, build = 0;
    Machine machine = Machine::kX86;
    bool is64 = false;  // x64 or ARM64: Explorer reads the 64-bit registry view
    bool oldMenuRestored = false;
};

struct Registration {
    bool present = false;  // the class's InprocServer32 names a file
    bool user = false;
    REGSAM view = 0;
    WideString dll;
};

const wchar_t* ScopeName(bool user) noexcept {
    return user ? L"for this user" : L"per machine";
}
HKEY ScopeRoot(bool user) noexcept {
    return user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

HRESULT CheckWindows(CheckReport& report, System& system) noexcept {
    using GetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // RtlGetVersion tells the truth whatever the program's manifest says.
    const auto getVersion = reinterpret_cast<GetVersionFunction>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (getVersion != nullptr)
        getVersion(&version);
    system.major = version.dwMajorVersion;
    system.minor = version.dwMinorVersion;
    system.build = version.dwBuildNumber;
    // IsWow64Process2 (Windows 10 1709 and later) names ARM64 even to this program when it runs
    // emulated as x64 or x86 there; GetNativeSystemInfo would say x64 to an emulated x64 one.
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 =
        reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
    USHORT processMachine = 0, nativeMachine = 0;
    const bool answered = isWow64Process2 != nullptr &&
                          isWow64Process2(::GetCurrentProcess(), &processMachine, &nativeMachine);
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    system.machine = WindowsMachine(answered, nativeMachine, info.wProcessorArchitecture);
    system.is64 = system.machine == Machine::kX64 || system.machine == Machine::kArm64;
    const wchar_t* name = AsWide(MachineName(system.machine));
    NV_RETURN_IF_FAILED(Say(
        report, FindingKind::kNote,
        {L"Windows ", system.major, L".", system.minor, L" build ", system.build, L", ", name,
         system.machine == Machine::kArm64 ? L": Explorer is ARM64 and loads the ARM64 DLL of the "
                                             L"64-bit registry view"
         : system.is64 ? L": Explorer is 64-bit and loads the x64 DLL of the 64-bit registry view"
                       : L": Explorer is 32-bit"}));
    if (system.build < kFirstLevelBuild)
        return S_OK;
    system.oldMenuRestored = KeyExists(HKEY_CURRENT_USER, kNewMenuOverride, 0);
    if (system.oldMenuRestored) {
        return Say(report, FindingKind::kNote,
                   {L"this user has restored the old file menu (HKCU\\", kNewMenuOverride,
                    L"): the classic handler shows on the first level"});
    }
    return Say(report, FindingKind::kNote,
               {L"Windows 11: the first level of the file menu shows the command only with the "
                L"package; the classic handler is under \"Show more options\""});
}

HRESULT ReadRegistration(CheckReport& report, const System& system, bool user, REGSAM view,
                         const wchar_t* viewName, Registration& found) noexcept {
    found.user = user;
    found.view = view;
    const HKEY root = ScopeRoot(user);
    // The 32-bit view is read where 64-bit Windows keeps it, for either scope.
    const bool wow = view == KEY_WOW64_32KEY;
    const wchar_t* classKey = wow ? kClassKey32 : kClassKey;
    const wchar_t* serverKey = wow ? kServerKey32 : kServerKey;
    const REGSAM readView = wow ? KEY_WOW64_64KEY : view;
    const wchar_t* where = user ? L"HKCU\\" : L"HKLM\\";
    WideString dll;
    NV_RETURN_IF_FAILED(ReadString(root, serverKey, nullptr, readView, dll));
    if (dll.IsEmpty()) {
        if (KeyExists(root, classKey, readView)) {
            return Say(report, FindingKind::kProblem,
                       {L"the class is registered ", ScopeName(user), L" in the ", viewName,
                        L" view without a DLL (", where, serverKey, L"): register the DLL again"});
        }
        return S_OK;
    }
    found.present = true;
    found.dll = static_cast<WideString&&>(dll);
    WideString threading;
    NV_RETURN_IF_FAILED(ReadString(root, serverKey, L"ThreadingModel", readView, threading));
    WideString handler;
    // One key for both views (its physical place is the 64-bit view's); a 32-bit Windows
    // ignores the flag.
    NV_RETURN_IF_FAILED(ReadString(root, kHandlerKey, nullptr, KEY_WOW64_64KEY, handler));
    if (!FileExists(found.dll)) {
        NV_RETURN_IF_FAILED(Say(
            report, FindingKind::kProblem,
            {L"registered ", ScopeName(user), L" in the ", viewName, L" view (", where, serverKey,
             L") is ", found.dll, L", which does not exist: reinstall, or unregister it"}));
    } else {
        const Machine machine = MachineOfImage(MachineOf(found.dll));
        WideString version;
        NV_RETURN_IF_FAILED(FileVersionOf(found.dll, version));
        WideString why;
        NV_RETURN_IF_FAILED(WhyNotLoadable(
            system.machine, view == KEY_WOW64_64KEY ? RegistryView::k64Bit : RegistryView::k32Bit,
            machine, why));
        NV_RETURN_IF_FAILED(
            Say(report, why.IsEmpty() ? FindingKind::kOk : FindingKind::kProblem,
                {L"registered ", ScopeName(user), L" in the ", viewName, L" view (", where,
                 serverKey, L"): ", found.dll, L" (", AsWide(MachineName(machine)),
                 version.IsEmpty() ? L"" : L", version ", version, L")", why}));
    }
    if (lstrcmpiW(AsWide(threading.Text()), L"Apartment") != 0) {
        NV_RETURN_IF_FAILED(
            Say(report, FindingKind::kProblem,
                {L"the class's ThreadingModel ", ScopeName(user), L" in the ", viewName,
                 L" view is \"", threading, L"\", not \"Apartment\": register the DLL again"}));
    }
    if (lstrcmpiW(AsWide(handler.Text()), kClassId) != 0) {
        NV_RETURN_IF_FAILED(Say(report, FindingKind::kProblem,
                                {L"the handler entry ", where, kHandlerKey,
                                 L" is missing or names another class: register the DLL again"}));
    }
    if (!ValueExists(root, classKey, L"ContextMenuOptIn", readView)) {
        NV_RETURN_IF_FAILED(Say(report, FindingKind::kNote,
                                {L"no ContextMenuOptIn on ", where, classKey, L" in the ", viewName,
                                 L" view: files in cloud folders that are not downloaded yet "
                                 L"get no command (register this version of the DLL again)"}));
    }
    return S_OK;
}

// Nivra.exe and the settings beside a registered DLL.
HRESULT CheckBeside(CheckReport& report, const WideString& dll) noexcept {
    WideString folder;
    NV_RETURN_IF_FAILED(FolderOf(dll, folder));
    WideString application;
    NV_RETURN_IF_FAILED(BuildApplicationPath(folder, application));
    if (FileExists(application)) {
        NV_RETURN_IF_FAILED(Say(report, FindingKind::kOk, {application, L" is there"}));
    } else {
        NV_RETURN_IF_FAILED(Say(report, FindingKind::kProblem,
                                {application,
                                 L" is missing: the command would fail; reinstall the "
                                 L"application, or move the DLL beside it"}));
    }
    WideString settings;
    NV_RETURN_IF_FAILED(BuildSettingsPath(folder, settings));
    const bool lithuanian = DecideLanguageIn(folder) == kLanguageLithuanian;
    return Say(report, FindingKind::kNote,
               {settings, FileExists(settings) ? L"" : L" does not exist", L": the command is in ",
                lithuanian ? L"Lithuanian" : L"English"});
}

HRESULT CheckPolicy(CheckReport& report, const Registration& effective, REGSAM view) noexcept {
    for (const bool user : {false, true}) {
        if (ValueExists(ScopeRoot(user), kBlockedKey, kClassId, view)) {
            NV_RETURN_IF_FAILED(Say(report, FindingKind::kProblem,
                                    {L"the class is blocked: value ", kClassId, L" under ",
                                     user ? L"HKCU\\" : L"HKLM\\", kBlockedKey,
                                     L"; Explorer loads no blocked extension (ask the "
                                     L"administrator)"}));
        }
    }
    DWORD machine = 0, user = 0;
    const bool machineOn =
        ReadDword(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnforceShellExtensionSecurity", 0, machine) &&
        machine != 0;
    const bool userOn =
        ReadDword(HKEY_CURRENT_USER, kPolicyKey, L"EnforceShellExtensionSecurity", 0, user) &&
        user != 0;
    if (!machineOn && !userOn)
        return S_OK;
    NV_RETURN_IF_FAILED(
        Say(report, FindingKind::kNote,
            {L"the policy \"Allow only per user or approved shell extensions\" "
             L"is on (",
             machineOn ? L"HKLM\\" : L"HKCU\\", kPolicyKey, L"\\EnforceShellExtensionSecurity)"}));
    if (!effective.present || effective.user)
        return S_OK;  // per-user extensions are admitted
    if (ValueExists(HKEY_LOCAL_MACHINE, kApprovedKey, kClassId, view)) {
        return Say(report, FindingKind::kOk,
                   {L"the class is approved (HKLM\\", kApprovedKey, L"\\", kClassId, L")"});
    }
    return Say(report, FindingKind::kProblem,
               {L"the class is not approved (no value ", kClassId, L" under HKLM\\", kApprovedKey,
                L"): Explorer does not load it under the policy; register the DLL "
                L"again per machine, or per user"});
}

// The package provisioned for every user that serves the explorer command: the one whose
// manifest names its class, or, where a manifest cannot be read, the one with our package name.
// Empty when there is none.
HRESULT FindProvisioned(WideString& fullName) noexcept {
    fullName.Clear();
    const UniqueKey list = OpenKey(HKEY_LOCAL_MACHINE, kProvisionedKey, KEY_WOW64_64KEY);
    if (!list.is_valid())
        return S_OK;
    wchar_t name[256];  // the longest key name
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(list.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return S_OK;
        }
        const char16_t* package = AsUtf16(name);
        if (IsMicrosoftPackage(package, length))
            continue;
        WideString key;
        NV_RETURN_IF_FAILED(key.Assign(AsUtf16(kProvisionedKey)));
        NV_RETURN_IF_FAILED(key.Append(u"\\"));
        NV_RETURN_IF_FAILED(key.Append(package, length));
        WideString manifest;
        NV_RETURN_IF_FAILED(
            ReadString(HKEY_LOCAL_MACHINE, AsWide(key.Text()), L"Path", KEY_WOW64_64KEY, manifest));
        bool names = false;
        if (!manifest.IsEmpty())
            NV_RETURN_IF_FAILED(ManifestFileNamesClass(manifest, kExplorerCommandClassId, names));
        if (names || IsPackageNamed(package, length, kPackageName))
            return fullName.Assign(package, length);
    }
}

enum class PackageState { kCannotTell, kRegistered, kProvisioned, kNone };

struct Package {
    PackageState state = PackageState::kCannotTell;
    WideString provisioned;  // its full name when provisioned but not registered for this user
};

HRESULT ReadPackage(const System& system, Package& package) noexcept {
    if (system.build < kFirstLevelBuild)
        return S_OK;
    if (KeyExists(HKEY_CLASSES_ROOT, kCommandIndex, 0)) {
        package.state = PackageState::kRegistered;
        return S_OK;
    }
    NV_RETURN_IF_FAILED(FindProvisioned(package.provisioned));
    package.state =
        package.provisioned.IsEmpty() ? PackageState::kNone : PackageState::kProvisioned;
    return S_OK;
}

HRESULT CheckPackage(CheckReport& report, const System& system, const Package& package) noexcept {
    const FindingKind kind = system.oldMenuRestored ? FindingKind::kNote : FindingKind::kProblem;
    switch (package.state) {
        case PackageState::kCannotTell:
            return Say(report, FindingKind::kNote,
                       {L"the Windows 11 package: cannot be told here (build ", system.build,
                        L"), and this Windows has no first level that would need it"});
        case PackageState::kRegistered:
            return Say(report, FindingKind::kOk,
                       {L"a package serves the explorer command for this user (HKCR\\",
                        kCommandIndex, L")"});
        case PackageState::kProvisioned:
            return Say(report, kind,
                       {L"no package serves the explorer command for this user yet (HKCR\\",
                        kCommandIndex, L"): the package ", package.provisioned,
                        L" is provisioned for every user of this machine (HKLM\\", kProvisionedKey,
                        L"\\", package.provisioned,
                        L"), and Windows registers it for this user at the next sign-in: sign "
                        L"out and in"});
        case PackageState::kNone:
            break;
    }
    return Say(report, kind,
               {L"no package serves the explorer command for this user (HKCR\\", kCommandIndex,
                L"), nor is one provisioned for every user (HKLM\\", kProvisionedKey,
                L"): the first level of the menu shows no command; register the package "
                L"(see the README's Windows 11 section)"});
}

// Which NivraShellExt DLLs running Explorer processes have loaded.
HRESULT CheckExplorer(CheckReport& report, const Registration& effective) noexcept {
    // A failed snapshot is INVALID_HANDLE_VALUE, which no owner may close.
    const HANDLE list = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (list == INVALID_HANDLE_VALUE)
        return Say(report, FindingKind::kNote, {L"cannot list the running programs"});
    const UniqueHandle processes(list);
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof(process);
    bool explorer = false;
    bool loadedAny = false;
    for (BOOL more = ::Process32FirstW(processes.get(), &process); more;
         more = ::Process32NextW(processes.get(), &process)) {
        if (lstrcmpiW(process.szExeFile, L"explorer.exe") != 0)
            continue;
        explorer = true;
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32,
                                                           process.th32ProcessID);
        if (snapshot == INVALID_HANDLE_VALUE)
            continue;
        const UniqueHandle modules(snapshot);
        MODULEENTRY32W module = {};
        module.dwSize = sizeof(module);
        for (BOOL next = ::Module32FirstW(modules.get(), &module); next;
             next = ::Module32NextW(modules.get(), &module)) {
            if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, module.szModule, 13,
                                 L"NivraShellExt", 13) != CSTR_EQUAL)
                continue;
            loadedAny = true;
            WideString loaded;
            NV_RETURN_IF_FAILED(loaded.Assign(AsUtf16(module.szExePath)));
            WideString loadedVersion, registeredVersion;
            NV_RETURN_IF_FAILED(FileVersionOf(loaded, loadedVersion));
            if (effective.present)
                NV_RETURN_IF_FAILED(FileVersionOf(effective.dll, registeredVersion));
            const bool differs =
                effective.present &&
                (lstrcmpiW(module.szExePath, AsWide(effective.dll.Text())) != 0 ||
                 lstrcmpW(AsWide(loadedVersion.Text()), AsWide(registeredVersion.Text())) != 0);
            NV_RETURN_IF_FAILED(Say(report, FindingKind::kNote,
                                    {L"Explorer (process ", process.th32ProcessID, L") has loaded ",
                                     loaded, L" (version ", loadedVersion,
                                     differs ? L"), not the registered one: the new version "
                                               L"takes effect at the next sign-in"
                                             : L")"}));
        }
    }
    if (!explorer)
        return Say(report, FindingKind::kNote, {L"no Explorer is running"});
    if (!loadedAny) {
        return Say(report, FindingKind::kNote,
                   {L"Explorer has not loaded a NivraShellExt DLL yet (it loads it at the first "
                    L"right-click)"});
    }
    return S_OK;
}

}  // namespace

HRESULT RunChecks(CheckReport& report) noexcept {
    System system;
    NV_RETURN_IF_FAILED(CheckWindows(report, system));
    Package package;
    NV_RETURN_IF_FAILED(ReadPackage(system, package));
    // On Windows 11 the package's command shows on the first level and under "Show more
    // options"; the classic handler is left out there (see the README's table).
    const bool packageServes =
        package.state == PackageState::kRegistered || package.state == PackageState::kProvisioned;

    // Each registry view and scope; Explorer reads its own view, where the user's classes
    // come before the machine's.
    const REGSAM explorerView = system.is64 ? KEY_WOW64_64KEY : 0;
    Registration effective;
    struct View {
        REGSAM flag;
        const wchar_t* name;
    };
    const View views64[] = {{KEY_WOW64_64KEY, L"64-bit"}, {KEY_WOW64_32KEY, L"32-bit"}};
    const View views32[] = {{0, L"32-bit"}};
    const View* views = system.is64 ? views64 : views32;
    const int viewCount = system.is64 ? 2 : 1;
    Registration found[2][2];
    for (int v = 0; v < viewCount; ++v) {
        for (const bool user : {false, true}) {
            NV_RETURN_IF_FAILED(ReadRegistration(report, system, user, views[v].flag, views[v].name,
                                                 found[v][user ? 1 : 0]));
        }
        const Registration& machine = found[v][0];
        const Registration& user = found[v][1];
        if (machine.present && user.present &&
            lstrcmpiW(AsWide(machine.dll.Text()), AsWide(user.dll.Text())) != 0) {
            NV_RETURN_IF_FAILED(
                Say(report, FindingKind::kNote,
                    {L"the per-user registration in the ", views[v].name, L" view (", user.dll,
                     L") comes before the per-machine one (", machine.dll, L") for this user"}));
        }
    }
    const Registration& chosen = found[0][1].present ? found[0][1] : found[0][0];
    if (!chosen.present) {
        NV_RETURN_IF_FAILED(
            Say(report, packageServes ? FindingKind::kNote : FindingKind::kProblem,
                {L"the handler is not registered for this user in the ", views[0].name,
                 L" view, which Explorer reads (HKLM\\", kServerKey, L", HKCU\\", kServerKey,
                 packageServes ? L"): on Windows 11 the package serves the command instead"
                               : L"): register the DLL (regsvr32, or the installer package)"}));
    } else {
        if (package.state == PackageState::kRegistered) {
            NV_RETURN_IF_FAILED(Say(report, FindingKind::kNote,
                                    {L"the handler is registered beside the package: \"Show more "
                                     L"options\" lists the command twice; on Windows 11 unregister "
                                     L"the ",
                                     AsWide(MachineName(system.machine)), L" DLL (regsvr32 /u)"}));
        }
        NV_RETURN_IF_FAILED(effective.dll.Assign(chosen.dll.Text(), chosen.dll.Length()));
        effective.present = true;
        effective.user = chosen.user;
    }

    // Beside each DLL that is registered anywhere, once per folder: the DLLs of one folder
    // start the same Nivra.exe.
    WideString folders[4];
    int folderCount = 0;
    for (int v = 0; v < viewCount; ++v) {
        for (int s = 0; s < 2; ++s) {
            const Registration& one = found[v][s];
            if (!one.present || !FileExists(one.dll))
                continue;
            WideString folder;
            NV_RETURN_IF_FAILED(FolderOf(one.dll, folder));
            bool seen = false;
            for (int f = 0; f < folderCount && !seen; ++f)
                seen = lstrcmpiW(AsWide(folders[f].Text()), AsWide(folder.Text())) == 0;
            if (seen)
                continue;
            NV_RETURN_IF_FAILED(CheckBeside(report, one.dll));
            folders[folderCount++] = static_cast<WideString&&>(folder);
        }
    }
    NV_RETURN_IF_FAILED(CheckPolicy(report, effective, explorerView));
    NV_RETURN_IF_FAILED(CheckPackage(report, system, package));
    return CheckExplorer(report, effective);
}

}  // namespace nivra
