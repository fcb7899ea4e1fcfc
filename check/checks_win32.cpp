#include "check/checks_win32.h"

#include <tlhelp32.h>

#include "check/readers_win32.h"
#include "common/text_win32.h"
#include "common/unique_any_win32.h"
#include "handler/launch_command.h"
#include "handler/ui_language.h"
#include "handler/ui_strings_win32.h"

namespace nivra {

namespace {

constexpr wchar_t kClassId[] = L"{37653C37-DEDE-49F1-A788-4E46787130D9}";
constexpr wchar_t kCommandClassId[] = L"{18180415-7FC1-4CF5-903C-8D1556234590}";
constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{37653C37-DEDE-49F1-A788-4E46787130D9}";
constexpr wchar_t kServerKey[] =
    L"Software\\Classes\\CLSID\\{37653C37-DEDE-49F1-A788-4E46787130D9}\\InprocServer32";
constexpr wchar_t kClassKey32[] =
    L"Software\\Classes\\Wow6432Node\\CLSID\\{37653C37-DEDE-49F1-A788-4E46787130D9}";
constexpr wchar_t kServerKey32[] =
    L"Software\\Classes\\Wow6432Node\\CLSID\\{37653C37-DEDE-49F1-A788-4E46787130D9}"
    L"\\InprocServer32";
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
constexpr DWORD kFirstLevelBuild = 22000;

struct System {
    DWORD major = 0, minor = 0, build = 0;
    bool is64 = false;
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
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    system.is64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                  info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
    NV_RETURN_IF_FAILED(
        Say(report, FindingKind::kNote,
            {L"Windows ", system.major, L".", system.minor, L" build ", system.build,
             system.is64 ? L", 64-bit: Explorer is 64-bit and loads "
                           L"the DLL of the 64-bit registry view"
                         : L", 32-bit: Explorer is 32-bit"}));
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

HRESULT ReadRegistration(CheckReport& report, bool user, REGSAM view, const wchar_t* viewName,
                         Registration& found) noexcept {
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
        const WORD machine = MachineOf(found.dll);
        WideString version;
        NV_RETURN_IF_FAILED(FileVersionOf(found.dll, version));
        const bool x64 = machine == IMAGE_FILE_MACHINE_AMD64;
        const bool x86 = machine == IMAGE_FILE_MACHINE_I386;
        const bool wrong = (view == KEY_WOW64_64KEY && !x64) || (view == KEY_WOW64_32KEY && !x86);
        const wchar_t* why = L"";
        if (wrong && view == KEY_WOW64_64KEY)
            why = L": 64-bit Explorer cannot load an x86 DLL; register the x64 DLL instead";
        else if (wrong)
            why = L": 32-bit programs cannot load it; register the x86 DLL instead";
        NV_RETURN_IF_FAILED(Say(report, wrong ? FindingKind::kProblem : FindingKind::kOk,
                                {L"registered ", ScopeName(user), L" in the ", viewName, L" view (",
                                 where, serverKey, L"): ", found.dll, L" (",
                                 x64   ? L"x64"
                                 : x86 ? L"x86"
                                       : L"not a Windows DLL",
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

HRESULT CheckPackage(CheckReport& report, const System& system) noexcept {
    if (system.build < kFirstLevelBuild) {
        return Say(report, FindingKind::kNote,
                   {L"the Windows 11 package: cannot be told here (build ", system.build,
                    L"), and this Windows has no first level that would need it"});
    }
    WideString index;
    NV_RETURN_IF_FAILED(index.Assign(u"PackagedCom\\ClassIndex\\"));
    NV_RETURN_IF_FAILED(index.Append(AsUtf16(kCommandClassId)));
    if (KeyExists(HKEY_CLASSES_ROOT, AsWide(index.Text()), 0)) {
        return Say(report, FindingKind::kOk,
                   {L"a package serves the explorer command for this user (HKCR\\", index, L")"});
    }
    return Say(report, system.oldMenuRestored ? FindingKind::kNote : FindingKind::kProblem,
               {L"no package serves the explorer command for this user (HKCR\\", index,
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
            NV_RETURN_IF_FAILED(ReadRegistration(report, user, views[v].flag, views[v].name,
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
            Say(report, FindingKind::kProblem,
                {L"the handler is not registered for this user in the ", views[0].name,
                 L" view, which Explorer reads (HKLM\\", kServerKey, L", HKCU\\", kServerKey,
                 L"): register the DLL (regsvr32, or the installer package)"}));
    } else {
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
    NV_RETURN_IF_FAILED(CheckPackage(report, system));
    return CheckExplorer(report, effective);
}

}  // namespace nivra
