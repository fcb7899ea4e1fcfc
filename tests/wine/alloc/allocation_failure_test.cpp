// Running out of memory inside every call a host or regsvr32 makes, one allocation at a time,
// through the test variant of the DLL: each call gives its success result or E_OUTOFMEMORY,
// leaves the caller's menu and buffers as they were, and gives back every block it took.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>

#include "alloc/hooks_dll.h"
#include "module/identifiers_win32.h"
#include "support/hdrop_data_object.h"
#include "support/shell_items.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

// No call makes nearly this many allocations; reaching it means the sweep never ends.
constexpr std::size_t kSweepLimit = 200;
const HRESULT kItemAdded = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
const HRESULT kApplicationMissing = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// One step of a sweep; true when nothing was refused, so the sweep is over.
bool Judge(const Outcome& outcome, HRESULT success, std::size_t successes) {
    if (outcome.refused == 0) {
        EXPECT_EQ(outcome.hr, success) << "with nothing refused";
        EXPECT_GT(successes, 0u) << "the call allocated nothing, so the sweep tested nothing";
        return true;
    }
    EXPECT_TRUE(outcome.hr == success || outcome.hr == E_OUTOFMEMORY)
        << "result 0x" << std::hex << outcome.hr << " with allocation " << std::dec << successes + 1
        << " refused";
    return false;
}

template <class Interface>
Interface* As(IUnknown* object, REFIID iid) {
    void* out = nullptr;
    object->QueryInterface(iid, &out);
    return static_cast<Interface*>(out);
}

// A handler holding the selection `file`, made without refusals.
IContextMenu* SelectedHandler(const HooksDll& dll, const std::wstring& file) {
    IShellExtInit* init = dll.NewHandler();
    if (init == nullptr)
        return nullptr;
    HdropDataObject data({file});
    IContextMenu* menu = nullptr;
    if (SUCCEEDED(init->Initialize(nullptr, &data, nullptr)))
        menu = As<IContextMenu>(init, IID_IContextMenu);
    init->Release();
    return menu;
}

const std::wstring kSupportedFile = L"C:\\docs\\a.pdf";

TEST(AllocationFailure, AClassObjectRequestFailsCleanlyAndALaterOneStillWorks) {
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        HooksDll dll;  // a fresh load, so the factory is made and cached anew
        ASSERT_TRUE(dll.loaded());
        const std::size_t live = dll.Live();
        void* factory = reinterpret_cast<void*>(0x5A5A5A5A);
        const Outcome outcome =
            dll.Run(n, [&] { return dll.GetClassObject(IID_IClassFactory, &factory); });
        const bool done = Judge(outcome, S_OK, n);
        if (FAILED(outcome.hr)) {
            EXPECT_EQ(factory, nullptr);
            EXPECT_EQ(dll.Live(), live);
            EXPECT_EQ(dll.CallExport("DllCanUnloadNow"), S_OK) << "a lock was left behind";
            ASSERT_EQ(dll.GetClassObject(IID_IClassFactory, &factory), S_OK);
        }
        static_cast<IUnknown*>(factory)->Release();
        if (done)
            break;
    }
}

// Creates objects of `classId` under the plan: each attempt leaves no object, lock or block.
void SweepCreation(REFCLSID classId, REFIID iid) {
    HooksDll dll;
    ASSERT_TRUE(dll.loaded());
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.GetClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    const std::size_t live = dll.Live();
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        void* object = reinterpret_cast<void*>(0x5A5A5A5A);
        const Outcome outcome =
            dll.Run(n, [&] { return factory->CreateInstance(nullptr, iid, &object); });
        const bool done = Judge(outcome, S_OK, n);
        if (SUCCEEDED(outcome.hr))
            static_cast<IUnknown*>(object)->Release();
        else
            EXPECT_EQ(object, nullptr);
        EXPECT_EQ(dll.Live(), live);
        if (done)
            break;
    }
    factory->Release();
    EXPECT_EQ(dll.CallExport("DllCanUnloadNow"), S_OK) << "a lock was left behind";
}

TEST(AllocationFailure, CreatingAHandlerFailsWithoutAnObjectALockOrABlock) {
    SweepCreation(CLSID_NivraShellExt, IID_IContextMenu);
}

TEST(AllocationFailure, CreatingAnExplorerCommandFailsWithoutAnObjectALockOrABlock) {
    SweepCreation(CLSID_NivraExplorerCommand, IID_IExplorerCommand);
}

TEST(AllocationFailure, AFailedSelectionKeepsThePreviousFileAndLeaksNothing) {
    HooksDll dll;
    ASSERT_TRUE(dll.loaded());
    const std::size_t live = dll.LiveWithFactoryCached();
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        IContextMenu* handler = SelectedHandler(dll, kSupportedFile);
        ASSERT_NE(handler, nullptr);
        IShellExtInit* init = As<IShellExtInit>(handler, IID_IShellExtInit);
        // Longer than the kept path, so taking it needs a new block; not a supported type.
        HdropDataObject other({L"C:\\a much longer folder name\\notes.txt"});
        const Outcome outcome =
            dll.Run(n, [&] { return init->Initialize(nullptr, &other, nullptr); });
        const bool done = Judge(outcome, S_OK, n);
        HMENU menu = ::CreatePopupMenu();
        handler->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL);
        EXPECT_EQ(::GetMenuItemCount(menu), SUCCEEDED(outcome.hr) ? 0 : 1)
            << "the selection changed although Initialize failed";
        ::DestroyMenu(menu);
        init->Release();
        handler->Release();
        EXPECT_EQ(dll.Live(), live);
        if (done)
            break;
    }
}

// One QueryContextMenu under the plan; `fresh` loads the DLL anew first, so the language is
// decided and the version tested inside the call, as on a process's first right-click.
void SweepQueryContextMenu(bool fresh) {
    HooksDll kept;
    ASSERT_TRUE(kept.loaded());
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        HooksDll loaded;
        const HooksDll& dll = fresh ? loaded : kept;
        const std::size_t live = dll.LiveWithFactoryCached();
        IContextMenu* handler = SelectedHandler(dll, kSupportedFile);
        ASSERT_NE(handler, nullptr);
        HMENU menu = ::CreatePopupMenu();
        ::AppendMenuW(menu, MF_STRING, 100, L"Open");
        const Outcome outcome =
            dll.Run(n, [&] { return handler->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL); });
        const bool done = Judge(outcome, kItemAdded, n);
        EXPECT_EQ(::GetMenuItemCount(menu), outcome.hr == kItemAdded ? 2 : 1);
        handler->Release();
        ::DestroyMenu(menu);
        EXPECT_EQ(dll.Live(), live);
        if (done)
            break;
    }
}

TEST(AllocationFailure, TheFirstMenuOfAProcessFailsWithoutAHalfInsertedItem) {
    SweepQueryContextMenu(true);
}

TEST(AllocationFailure, ALaterMenuFailsWithoutAHalfInsertedItem) {
    SweepQueryContextMenu(false);
}

TEST(AllocationFailure, CommandStringsOfEveryKindLeaveTheBufferAloneOnFailure) {
    HooksDll dll;
    ASSERT_TRUE(dll.loaded());
    const std::size_t live = dll.LiveWithFactoryCached();
    IContextMenu* handler = SelectedHandler(dll, kSupportedFile);
    ASSERT_NE(handler, nullptr);
    for (UINT kind : {GCS_HELPTEXTW, GCS_HELPTEXTA, GCS_VERBW, GCS_VERBA}) {
        for (std::size_t n = 0;; ++n) {
            ASSERT_LT(n, kSweepLimit) << "kind " << kind;
            char buffer[256];
            std::memset(buffer, 0xA5, sizeof(buffer));
            char untouched[sizeof(buffer)];
            std::memcpy(untouched, buffer, sizeof(buffer));
            const Outcome outcome = dll.Run(
                n, [&] { return handler->GetCommandString(0, kind, nullptr, buffer, 100); });
            const bool done = Judge(outcome, S_OK, n);
            if (FAILED(outcome.hr))
                EXPECT_EQ(std::memcmp(buffer, untouched, sizeof(buffer)), 0) << "kind " << kind;
            else
                EXPECT_NE(buffer[0], untouched[0]) << "kind " << kind;
            if (done)
                break;
        }
    }
    handler->Release();
    EXPECT_EQ(dll.Live(), live);
}

TEST(AllocationFailure, InvokingByIndexOrByVerbFailsOnlyWithOutOfMemory) {
    HooksDll dll;
    ASSERT_TRUE(dll.loaded());
    const std::size_t live = dll.LiveWithFactoryCached();
    IContextMenu* handler = SelectedHandler(dll, kSupportedFile);
    ASSERT_NE(handler, nullptr);
    // No Nivra.exe lies beside the test DLL, so every start fails. Without a screen the message
    // box cannot open either, so both kinds of record get the start's error.
    for (DWORD mask : {DWORD{CMIC_MASK_FLAG_NO_UI}, DWORD{0}}) {
        for (LPCSTR verb : std::initializer_list<LPCSTR>{MAKEINTRESOURCEA(0), "adoc"}) {
            for (std::size_t n = 0;; ++n) {
                ASSERT_LT(n, kSweepLimit);
                CMINVOKECOMMANDINFO info = {};
                info.cbSize = sizeof(info);
                info.fMask = mask;
                info.lpVerb = verb;
                info.nShow = SW_SHOWNORMAL;
                const Outcome outcome = dll.Run(n, [&] { return handler->InvokeCommand(&info); });
                if (Judge(outcome, kApplicationMissing, n))
                    break;
            }
        }
    }
    handler->Release();
    EXPECT_EQ(dll.Live(), live);
}

// Every call of the explorer command that allocates, under the plan, on a fresh load of the DLL (so
// the first title decides the language inside the call) and on a kept one: its success result or
// E_OUTOFMEMORY with the out-pointer null, no lock and no block left behind.
TEST(AllocationFailure, TheExplorerCommandFailsOnlyWithOutOfMemoryAndLeavesNothing) {
    ASSERT_HRESULT_SUCCEEDED(::CoInitialize(nullptr));
    const std::wstring file = MakeTempFolder(L"alloc") + L"a.pdf";
    WriteUtf8File(file, "%PDF-1.4\n");
    ComPtr<IShellItemArray> items = ShellItems({file});
    ASSERT_NE(items.get(), nullptr);
    using Call = HRESULT (*)(IExplorerCommand*, IShellItemArray*, void**);
    const Call calls[] = {
        [](IExplorerCommand* c, IShellItemArray*, void** out) {
            return c->GetTitle(nullptr, reinterpret_cast<LPWSTR*>(out));
        },
        [](IExplorerCommand* c, IShellItemArray*, void** out) {
            return c->GetToolTip(nullptr, reinterpret_cast<LPWSTR*>(out));
        },
        [](IExplorerCommand* c, IShellItemArray*, void** out) {
            return c->GetIcon(nullptr, reinterpret_cast<LPWSTR*>(out));
        },
        // No Nivra.exe lies beside the test DLL, and no screen can show the box.
        [](IExplorerCommand* c, IShellItemArray* i, void**) { return c->Invoke(i, nullptr); },
    };
    const HRESULT successes[] = {S_OK, S_OK, S_OK, kApplicationMissing};
    for (bool fresh : {true, false}) {
        std::optional<HooksDll> kept;
        if (!fresh)
            kept.emplace();
        for (std::size_t c = 0; c < std::size(calls); ++c) {
            const Call call = calls[c];
            for (std::size_t n = 0;; ++n) {
                ASSERT_LT(n, kSweepLimit);
                std::optional<HooksDll> loaded;
                if (fresh)
                    loaded.emplace();
                const HooksDll& dll = fresh ? *loaded : *kept;
                ASSERT_TRUE(dll.loaded());
                IExplorerCommand* command = dll.NewExplorerCommand();
                ASSERT_NE(command, nullptr);
                command->Release();  // so that its factory is cached
                const std::size_t live = dll.Live();
                command = dll.NewExplorerCommand();
                ASSERT_NE(command, nullptr);
                void* out = reinterpret_cast<void*>(0x5A5A5A5A);
                const Outcome outcome =
                    dll.Run(n, [&] { return call(command, items.get(), &out); });
                const bool done = Judge(outcome, successes[c], n);
                if (FAILED(outcome.hr))
                    EXPECT_TRUE(out == nullptr || out == reinterpret_cast<void*>(0x5A5A5A5A));
                else if (out != reinterpret_cast<void*>(0x5A5A5A5A))
                    ::CoTaskMemFree(out);
                command->Release();
                EXPECT_EQ(dll.Live(), live);
                EXPECT_EQ(dll.CallExport("DllCanUnloadNow"), S_OK) << "a lock was left behind";
                if (done)
                    break;
            }
        }
    }
    items.reset();
    ::CoUninitialize();
}

// The class key with the DLL's path as its server; empty when the class is not registered.
std::wstring RegisteredServer() {
    const wchar_t* key = L"CLSID\\{37653C37-DEDE-49F1-A788-4E46787130D9}\\InprocServer32";
    wchar_t value[MAX_PATH * 2] = {};
    LONG bytes = sizeof(value);
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, key, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dll_.loaded()); }
    void TearDown() override { dll_.CallExport("DllUnregisterServer"); }
    HooksDll dll_;
};

TEST_F(Registration, RegisteringFailsOnlyWithTheEnginesOutOfMemoryAndLeaksNothing) {
    const std::size_t live = dll_.Live();
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        const Outcome outcome = dll_.Run(n, [&] { return dll_.CallExport("DllRegisterServer"); });
        EXPECT_EQ(dll_.Live(), live);
        if (Judge(outcome, S_OK, n))
            break;
    }
    EXPECT_EQ(RegisteredServer(), HooksDll::Path());
}

TEST_F(Registration, UnregisteringFailsOnlyWithTheEnginesOutOfMemoryAndLeaksNothing) {
    const std::size_t live = dll_.Live();
    for (std::size_t n = 0;; ++n) {
        ASSERT_LT(n, kSweepLimit);
        ASSERT_EQ(dll_.CallExport("DllRegisterServer"), S_OK);
        const Outcome outcome = dll_.Run(n, [&] { return dll_.CallExport("DllUnregisterServer"); });
        EXPECT_EQ(dll_.Live(), live);
        if (Judge(outcome, S_OK, n))
            break;
    }
    EXPECT_EQ(RegisteredServer(), L"");
}

}  // namespace
}  // namespace nivra::test
