// The explorer command as Windows 11's first-level menu drives it, through copies of the shipped
// DLL: each copy in a folder of its own is a module of its own, with its own language decision.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "module/class_ids.h"
#include "module/identifiers_win32.h"
#include "module/shipped_dll.h"
#include "product_paths.h"
#include "support/shell_items.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

using namespace std::chrono_literals;

const wchar_t kEnglishTitle[] = L"Add to ADOC...";
const wchar_t kEnglishTip[] = L"Creates a new ADOC document based on the selected file.";
const wchar_t kLithuanianTitle[] = L"\x012Etraukti \x012F ADOC...";
const wchar_t kLithuanianTip[] =
    L"Sudaro nauj\x0105 ADOC dokument\x0105 pasirinkto failo pagrindu.";

// A copy of the DLL with the stand-in application and the given settings beside it.
struct InstalledDll {
    explicit InstalledDll(const char* language = "en", std::wstring where = L"")
        : folder(where.empty() ? MakeTempFolder(L"command") : where) {
        CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
        CopyInto(ProgramFolder() + L"Nivra.exe", folder, L"Nivra.exe");
        ::CreateDirectoryW((folder + L"configuration").c_str(), nullptr);
        WriteUtf8File(folder + L"configuration\\config.ini",
                      std::string("[SetupSettings]\r\nosgi.nl=") + language + "\r\n");
        dll = std::make_unique<ShippedDll>(folder + NIVRA_DLL_FILE_NAME);
    }

    ComPtr<IClassFactory> Factory() const {
        ComPtr<IClassFactory> factory;
        dll->GetClassObject(CLSID_NivraExplorerCommand, IID_IClassFactory,
                            reinterpret_cast<void**>(factory.put()));
        return factory;
    }
    ComPtr<IExplorerCommand> NewCommand() const {
        ComPtr<IExplorerCommand> command;
        if (ComPtr<IClassFactory> factory = Factory(); factory.get() != nullptr) {
            factory.get()->CreateInstance(nullptr, IID_IExplorerCommand,
                                          reinterpret_cast<void**>(command.put()));
        }
        return command;
    }
    std::wstring Received() const {
        return Wide(WaitForFile(folder + L"Nivra.received.txt", 20s).value_or(""));
    }

    std::wstring folder;
    std::unique_ptr<ShippedDll> dll;
};

using TextGetter = HRESULT (STDMETHODCALLTYPE IExplorerCommand::*)(IShellItemArray*, LPWSTR*);

// A text that the command hands out, freed as its caller must.
std::wstring TextOf(const ComPtr<IExplorerCommand>& command, TextGetter getter) {
    wchar_t* text = nullptr;
    EXPECT_EQ((command.get()->*getter)(nullptr, &text), S_OK);
    const std::wstring copy = text != nullptr ? text : L"<null>";
    ::CoTaskMemFree(text);
    return copy;
}

class ExplorerCommand : public testing::Test {
  protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(::CoInitialize(nullptr)); }
    void TearDown() override { ::CoUninitialize(); }

    // A real file in a folder of its own.
    static std::wstring MakeFile(const std::wstring& name) {
        const std::wstring path = MakeTempFolder(L"items") + name;
        WriteUtf8File(path, "%PDF-1.4\n");
        return path;
    }

    static EXPCMDSTATE StateFor(IExplorerCommand* command, IShellItemArray* items,
                                BOOL okToBeSlow = FALSE) {
        EXPCMDSTATE state = 0x5A5A;
        EXPECT_EQ(command->GetState(items, okToBeSlow, &state), S_OK);
        return state;
    }
};

TEST_F(ExplorerCommand, IsServedByACachedFactoryOfItsOwnWithoutAggregation) {
    const InstalledDll installed;
    ComPtr<IClassFactory> factory = installed.Factory();
    ASSERT_NE(factory.get(), nullptr);
    EXPECT_EQ(installed.Factory().get(), factory.get());
    IClassFactory* handlerFactory = installed.dll->Factory();
    EXPECT_NE(handlerFactory, factory.get()) << "the handler's factory is another one";
    handlerFactory->Release();

    for (const IID* iid : {&IID_IUnknown, &IID_IExplorerCommand}) {
        void* out = reinterpret_cast<void*>(0x5A5A5A5A);
        EXPECT_EQ(
            factory.get()->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), *iid, &out),
            CLASS_E_NOAGGREGATION);
        EXPECT_EQ(out, nullptr);
    }
    void* out = reinterpret_cast<void*>(0x5A5A5A5A);
    EXPECT_EQ(factory.get()->CreateInstance(nullptr, IID_IContextMenu, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(command.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.put())),
              S_OK);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(command.get()));
    EXPECT_EQ(command.get()->QueryInterface(IID_IShellExtInit, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ExplorerCommand, EachObjectHoldsOneModuleLockForItsWholeLife) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> first = installed.NewCommand();
    ComPtr<IExplorerCommand> second = installed.NewCommand();
    ASSERT_NE(first.get(), nullptr);
    ASSERT_NE(second.get(), nullptr);
    EXPECT_NE(first.get(), second.get()) << "every request makes a new object";
    EXPECT_EQ(installed.dll->CanUnloadNow(), S_FALSE);
    first.reset();
    EXPECT_EQ(installed.dll->CanUnloadNow(), S_FALSE);
    second.reset();
    EXPECT_EQ(installed.dll->CanUnloadNow(), S_OK) << "the cached factory alone does not count";
}

TEST_F(ExplorerCommand, TitleAndToolTipComeInTheDecidedLanguageWithoutTheMnemonic) {
    const InstalledDll english("en");
    const InstalledDll lithuanian("lt");
    ComPtr<IExplorerCommand> command = english.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    EXPECT_EQ(TextOf(command, &IExplorerCommand::GetTitle), kEnglishTitle);
    EXPECT_EQ(TextOf(command, &IExplorerCommand::GetToolTip), kEnglishTip);
    command = lithuanian.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    EXPECT_EQ(TextOf(command, &IExplorerCommand::GetTitle), kLithuanianTitle);
    EXPECT_EQ(TextOf(command, &IExplorerCommand::GetToolTip), kLithuanianTip);
}

TEST_F(ExplorerCommand, TheIconIsTheMenuIconOfThisDllAtAnyPathLength) {
    std::wstring deep = MakeTempFolder(L"deep");
    while (deep.size() <= 300) {
        deep += std::wstring(40, L'd') + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    }
    for (const std::wstring& where : {std::wstring(), deep}) {
        const InstalledDll installed("en", where);
        ASSERT_TRUE(installed.dll->loaded());
        ComPtr<IExplorerCommand> command = installed.NewCommand();
        ASSERT_NE(command.get(), nullptr);
        std::wstring location = TextOf(command, &IExplorerCommand::GetIcon);
        EXPECT_EQ(location, installed.folder + NIVRA_DLL_FILE_NAME + L",-101");
        // And it resolves as Explorer resolves it; the file part is the DLL's path.
        const int id = ::PathParseIconLocationW(location.data());
        EXPECT_EQ(id, -101);
        EXPECT_EQ(location.c_str(), installed.folder + NIVRA_DLL_FILE_NAME);
        // Wine's PrivateExtractIconsW gives up on a file name over MAX_PATH (it answers -1).
        if (location.size() >= MAX_PATH)
            continue;
        HICON icon = nullptr;
        UINT iconId = 0;
        const UINT count = ::PrivateExtractIconsW(location.c_str(), id, 16, 16, &icon, &iconId, 1,
                                                  LR_DEFAULTCOLOR);
        EXPECT_EQ(count, 1u) << Utf8(location);
        if (count == 1)
            ::DestroyIcon(icon);
    }
}

TEST_F(ExplorerCommand, NameFlagsAndSubcommands) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    GUID name = {};
    ASSERT_EQ(command.get()->GetCanonicalName(&name), S_OK);
    wchar_t text[40] = {};
    ::StringFromGUID2(name, text, 40);
    EXPECT_EQ(Utf8(text), kExplorerCommandClassId);
    EXPECT_TRUE(IsEqualGUID(name, CLSID_NivraExplorerCommand));

    EXPCMDFLAGS flags = 0x5A5A;
    EXPECT_EQ(command.get()->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
    auto* subcommands = reinterpret_cast<IEnumExplorerCommand*>(0x5A5A5A5A);
    EXPECT_EQ(command.get()->EnumSubCommands(&subcommands), E_NOTIMPL);
    EXPECT_EQ(subcommands, nullptr);
}

TEST_F(ExplorerCommand, EveryOutPointerIsCheckedFirst) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    IExplorerCommand* c = command.get();
    EXPECT_EQ(c->GetTitle(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(c->GetIcon(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(c->GetToolTip(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(c->GetCanonicalName(nullptr), E_POINTER);
    EXPECT_EQ(c->GetState(nullptr, FALSE, nullptr), E_POINTER);
    EXPECT_EQ(c->GetFlags(nullptr), E_POINTER);
    EXPECT_EQ(c->EnumSubCommands(nullptr), E_POINTER);
}

TEST_F(ExplorerCommand, OneSupportedFileIsEnabledWhateverOkToBeSlowSays) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    for (const wchar_t* name : {L"report.pdf", L"Scan 1.TIFF", L"archive.tar.Docx"}) {
        ComPtr<IShellItemArray> items = ShellItems({MakeFile(name)});
        ASSERT_NE(items.get(), nullptr) << Utf8(name);
        EXPECT_EQ(StateFor(command.get(), items.get(), FALSE), ECS_ENABLED) << Utf8(name);
        EXPECT_EQ(StateFor(command.get(), items.get(), TRUE), ECS_ENABLED) << Utf8(name);
    }
}

TEST_F(ExplorerCommand, EverythingElseIsHidden) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    EXPECT_EQ(StateFor(command.get(), nullptr), ECS_HIDDEN);

    const std::wstring pdf = MakeFile(L"a.pdf");
    const std::wstring folder = MakeTempFolder(L"items") + L"looks like.pdf";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::vector<std::vector<std::wstring>> hidden = {
        {MakeFile(L"notes.txt")},
        {MakeFile(L"contract.adoc")},
        {pdf, MakeFile(L"b.pdf")},  // two files
        {folder},
        // Virtual items: My Computer has no file-system path; under Wine an unknown class
        // "has" one that starts with "::", which the filter turns down.
        {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"},
        {L"::{12345678-0000-0000-0000-000000000001}"},
    };
    for (const auto& names : hidden) {
        ComPtr<IShellItemArray> items = ShellItems(names);
        // Only a virtual name may be one the shell cannot make an array of; no menu asks then.
        if (items.get() == nullptr && names[0].rfind(L"::", 0) == 0)
            continue;
        ASSERT_NE(items.get(), nullptr) << Utf8(names[0]);
        EXPECT_EQ(StateFor(command.get(), items.get()), ECS_HIDDEN) << Utf8(names[0]);
        EXPECT_EQ(StateFor(command.get(), items.get(), TRUE), ECS_HIDDEN) << Utf8(names[0]);
    }
}

TEST_F(ExplorerCommand, InvokeStartsTheApplicationBesideTheDllForTheOneFile) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    const std::wstring file = MakeFile(L"My Report \x0105.pdf");
    ComPtr<IShellItemArray> items = ShellItems({file});
    ASSERT_NE(items.get(), nullptr);
    EXPECT_EQ(command.get()->Invoke(items.get(), nullptr), S_OK);
    EXPECT_EQ(installed.Received(),
              L"nivra -create \"" + file + L"\"\n" + installed.folder + L"Nivra.exe\n");
}

TEST_F(ExplorerCommand, InvokeRefusesWhatGetStateHidesAndStartsNothing) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    EXPECT_EQ(command.get()->Invoke(nullptr, nullptr), E_FAIL);
    ComPtr<IShellItemArray> text = ShellItems({MakeFile(L"notes.txt")});
    ComPtr<IShellItemArray> two = ShellItems({MakeFile(L"a.pdf"), MakeFile(L"b.pdf")});
    ASSERT_NE(text.get(), nullptr);
    ASSERT_NE(two.get(), nullptr);
    EXPECT_EQ(command.get()->Invoke(text.get(), nullptr), E_FAIL);
    EXPECT_EQ(command.get()->Invoke(two.get(), nullptr), E_FAIL);
    EXPECT_FALSE(WaitForFile(installed.folder + L"Nivra.received.txt", 1s).has_value());
}

// An array of one item that hands back S_OK and no item, as a faulty namespace extension may.
struct ArrayWithANullItem : IShellItemArray {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IShellItemArray) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD, IShellItem** item) override {
        *item = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }
};

TEST_F(ExplorerCommand, AnArrayThatHandsBackANullItemIsHiddenAndNotInvoked) {
    const InstalledDll installed;
    ComPtr<IExplorerCommand> command = installed.NewCommand();
    ASSERT_NE(command.get(), nullptr);
    ArrayWithANullItem items;
    EXPECT_EQ(StateFor(command.get(), &items), ECS_HIDDEN);
    EXPECT_EQ(command.get()->Invoke(&items, nullptr), E_FAIL);
    EXPECT_FALSE(WaitForFile(installed.folder + L"Nivra.received.txt", 1s).has_value());
}

}  // namespace
}  // namespace nivra::test
