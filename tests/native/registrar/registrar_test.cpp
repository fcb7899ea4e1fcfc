#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "registrar/quote_doubling.h"
#include "registrar/reg_object.h"
#include "test_support.h"

namespace nivra::testing {
namespace {

using Lines = std::vector<std::string>;

// The handler's registration script, byte for byte as the module carries it.
std::string HandlerScript() {
    std::string script = R"(HKCR
{
	%PROGID%.%VERSION% = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
	}
	%PROGID% = s '%DESCRIPTION%'
	{
		CLSID = s '%CLSID%'
		CurVer = s '%PROGID%.%VERSION%'
	}
	NoRemove CLSID
	{
		ForceRemove %CLSID% = s '%DESCRIPTION%'
		{
			ProgID = s '%PROGID%.%VERSION%'
			VersionIndependentProgID = s '%PROGID%'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s '%THREADING%'
			}
			'TypeLib' = s '%LIBID%'
		}
	}
	NoRemove *
	{
		NoRemove ShellEx
		{
			NoRemove ContextMenuHandlers
			{
				ForceRemove NivraShellExt = s '%CLSID%'
			}
		}
	}
}
)";
    std::string crlf;
    for (char c : script)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// Module files as maps of resources; bytes of 128 and above convert to U+0100 + byte, standing
// in for the thread's ANSI code page.
class FakeModules : public IModuleResources {
  public:
    void AddResource(const std::u16string& path, const std::u16string& type,
                     const std::u16string& name, std::string bytes) {
        modules_[path][type + u"/" + name] = std::move(bytes);
    }

    void* LoadDataModule(const char16_t* path) noexcept override {
        auto module = modules_.find(path);
        if (module == modules_.end()) {
            lastError = 2;
            return nullptr;
        }
        ++loaded;
        return &module->second;
    }
    void ReleaseModule(void*) noexcept override { --loaded; }
    void* FindScriptResource(void* module, const char16_t* type, ResourceId id) noexcept override {
        auto& resources = *static_cast<std::map<std::u16string, std::string>*>(module);
        const std::u16string name =
            id.name != nullptr ? std::u16string(id.name) : Widen("#" + std::to_string(id.number));
        auto resource = resources.find(std::u16string(type) + u"/" + name);
        if (resource == resources.end()) {
            lastError = findError;
            return nullptr;
        }
        return &resource->second;
    }
    bool LoadResourceBytes(void*, void* resource, const void** bytes,
                           std::uint32_t* size) noexcept override {
        const auto* text = static_cast<std::string*>(resource);
        *bytes = text->data();
        *size = static_cast<std::uint32_t>(text->size());
        return true;
    }
    std::uint32_t ConvertAnsi(const char* bytes, std::uint32_t size, char16_t* destination,
                              std::uint32_t room) noexcept override {
        if (size == 0 || room < size) {
            lastError = 87;
            return 0;
        }
        for (std::uint32_t i = 0; i < size; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            destination[i] = byte < 128 ? byte : static_cast<char16_t>(0x100 + byte);
        }
        return size;
    }
    std::uint32_t LastError() noexcept override { return lastError; }

    std::uint32_t lastError = 0;
    std::uint32_t findError = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND
    int loaded = 0;

  private:
    std::map<std::u16string, std::map<std::u16string, std::string>> modules_;
};

const char16_t kModule[] = u"C:\\Tools\\O'Brien\\NivraShellExt.dll";
const char16_t kClsid[] = u"{37653C37-DEDE-49F1-A788-4E46787130D9}";

class Registrar : public ::testing::Test {
  protected:
    Registrar() { modules.AddResource(kModule, u"REGISTRY", u"#100", HandlerScript()); }
    void TearDown() override {
        EXPECT_EQ(modules.loaded, 0) << "module left loaded";
        EXPECT_EQ(registry.OpenHandles(), 0u) << "handles left open";
    }

    // The variables and the order in which registration adds them.
    HResult AddHandlerVariables(CRegObject& registrar) {
        const std::pair<const char16_t*, const char16_t*> pairs[] = {
            {u"PROGID", u"NivraShellExtLib.NivraShellExt"},
            {u"VERSION", u"1"},
            {u"DESCRIPTION", u"NivraShellExt Class"},
            {u"CLSID", kClsid},
            {u"LIBID", u"{E451006E-80DB-4344-9EB2-83931605B560}"},
            {u"THREADING", u"Apartment"},
            {u"APPID", u""}};
        for (const auto& pair : pairs)
            NV_RETURN_IF_FAILED(registrar.AddVariable(pair.first, pair.second));
        char16_t quoted[520];
        NV_RETURN_IF_FAILED(DoubleSingleQuotes(quoted, 520, kModule));
        NV_RETURN_IF_FAILED(registrar.AddVariable(u"Module", quoted));
        return registrar.AddVariable(u"Module_Raw", quoted);
    }
    HResult RunHandlerScript(bool registerPass) {
        CRegObject registrar(registry, modules);
        NV_RETURN_IF_FAILED(AddHandlerVariables(registrar));
        return registerPass ? registrar.RegisterScriptResource(kModule, 100)
                            : registrar.UnregisterScriptResource(kModule, 100);
    }

    AllocationGuard guard;
    MemoryRegistry registry;
    FakeModules modules;
};

TEST_F(Registrar, RegisteringTheHandlerScriptMakesTheHandlersEntries) {
    ASSERT_EQ(HandlerScript().size(), 596u);  // the module's resource, byte for byte
    ASSERT_EQ(RunHandlerScript(true), kOk);
    const std::string clsid = "HKCR\\CLSID\\" + Narrow(kClsid);
    const std::string handler = "HKCR\\*\\ShellEx\\ContextMenuHandlers\\NivraShellExt";
    EXPECT_EQ(registry.Dump(),
              (Lines{"HKCR\\*",
                     "HKCR\\*\\ShellEx",
                     "HKCR\\*\\ShellEx\\ContextMenuHandlers",
                     handler,
                     handler + "|=S:" + Narrow(kClsid),
                     "HKCR\\CLSID",
                     clsid,
                     clsid + "\\InprocServer32",
                     clsid + "\\InprocServer32|=S:C:\\Tools\\O'Brien\\NivraShellExt.dll",
                     clsid + "\\InprocServer32|ThreadingModel=S:Apartment",
                     clsid + "\\ProgID",
                     clsid + "\\ProgID|=S:NivraShellExtLib.NivraShellExt.1",
                     clsid + "\\TypeLib",
                     clsid + "\\TypeLib|=S:{E451006E-80DB-4344-9EB2-83931605B560}",
                     clsid + "\\VersionIndependentProgID",
                     clsid + "\\VersionIndependentProgID|=S:NivraShellExtLib.NivraShellExt",
                     clsid + "|=S:NivraShellExt Class",
                     "HKCR\\NivraShellExtLib.NivraShellExt",
                     "HKCR\\NivraShellExtLib.NivraShellExt.1",
                     "HKCR\\NivraShellExtLib.NivraShellExt.1\\CLSID",
                     "HKCR\\NivraShellExtLib.NivraShellExt.1\\CLSID|=S:" + Narrow(kClsid),
                     "HKCR\\NivraShellExtLib.NivraShellExt.1|=S:NivraShellExt Class",
                     "HKCR\\NivraShellExtLib.NivraShellExt\\CLSID",
                     "HKCR\\NivraShellExtLib.NivraShellExt\\CLSID|=S:" + Narrow(kClsid),
                     "HKCR\\NivraShellExtLib.NivraShellExt\\CurVer",
                     "HKCR\\NivraShellExtLib.NivraShellExt\\CurVer|=S:"
                     "NivraShellExtLib.NivraShellExt.1",
                     "HKCR\\NivraShellExtLib.NivraShellExt|=S:NivraShellExt Class"}));
}

TEST_F(Registrar, RegisteringAgainDropsStaleSubkeysAndUnregisteringKeepsTheSharedParents) {
    ASSERT_EQ(RunHandlerScript(true), kOk);
    const Lines once = registry.Dump();
    registry.AddKey("HKCR\\CLSID\\" + Narrow(kClsid) + "\\Stale\\Deeper");
    ASSERT_EQ(RunHandlerScript(true), kOk);
    EXPECT_EQ(registry.Dump(), once);
    ASSERT_EQ(RunHandlerScript(false), kOk);
    EXPECT_EQ(registry.Dump(), (Lines{"HKCR\\*", "HKCR\\*\\ShellEx",
                                      "HKCR\\*\\ShellEx\\ContextMenuHandlers", "HKCR\\CLSID"}));
}

TEST_F(Registrar, AFailingRegistrationIsRolledBackButPreexistingParentsStay) {
    registry.AddKey("HKCR\\CLSID\\{other}");
    registry.FailCall(RegOp::kSetValue, "ThreadingModel", 5);
    EXPECT_EQ(RunHandlerScript(true), HResultFromWin32(5));
    EXPECT_EQ(registry.Dump(), (Lines{"HKCR\\CLSID", "HKCR\\CLSID\\{other}"}));
}

TEST_F(Registrar, EveryFailedRegistryCallLeavesNoHandleOrBlockBehind) {
    ASSERT_EQ(RunHandlerScript(true), kOk);
    const std::size_t calls = registry.Calls().size();
    for (std::size_t number = 1; number <= calls; ++number) {
        MemoryRegistry fresh;
        CRegObject registrar(fresh, modules);
        ASSERT_EQ(AddHandlerVariables(registrar), kOk);
        fresh.FailCallNumber(number, 5);
        const HResult result = registrar.RegisterScriptResource(kModule, 100);
        EXPECT_TRUE(result == kOk || result == HResultFromWin32(5)) << number;
        EXPECT_EQ(fresh.OpenHandles(), 0u) << number;
    }
}

TEST_F(Registrar, RunningOutOfMemoryAnywhereFailsCleanlyBeforeTouchingTheRegistry) {
    CRegObject registrar(registry, modules);
    ASSERT_EQ(AddHandlerVariables(registrar), kOk);
    HResult result = kOutOfMemory;
    std::size_t successes = 0;
    for (; result == kOutOfMemory; ++successes) {
        FailAllocationsAfter(successes);
        result = registrar.RegisterScriptResource(kModule, 100);
        if (result == kOutOfMemory) {
            EXPECT_TRUE(registry.Calls().empty()) << successes;
        }
    }
    StopFailingAllocations();
    EXPECT_EQ(result, kOk);
    EXPECT_GT(successes, 2u);
}

TEST_F(Registrar, AddVariableCopiesKeepsDuplicatesAndRefusesNulls) {
    CRegObject registrar(registry, modules);
    std::u16string value = u"first";
    ASSERT_EQ(registrar.AddVariable(u"Module", value.c_str()), kOk);
    value = u"changed";
    ASSERT_EQ(registrar.AddVariable(u"MODULE", u"second"), kOk);
    EXPECT_EQ(std::u16string(registrar.FindVariable(u"module")), u"first");
    EXPECT_EQ(registrar.AddVariable(u"x", nullptr), kInvalidArg);
    EXPECT_EQ(registrar.AddVariable(nullptr, u"x"), kInvalidArg);
    EXPECT_EQ(registrar.FindVariable(u"x"), nullptr);
    EXPECT_EQ(registrar.ClearVariables(), kOk);
    EXPECT_EQ(registrar.FindVariable(u"module"), nullptr);
}

TEST_F(Registrar, AddVariableOutOfMemoryKeepsTheEarlierEntries) {
    CRegObject registrar(registry, modules);
    ASSERT_EQ(registrar.AddVariable(u"a", u"1"), kOk);
    for (std::size_t successes = 0; successes < 4; ++successes) {
        FailAllocationsAfter(successes);
        EXPECT_EQ(registrar.AddVariable(u"b", u"2"), kOutOfMemory) << successes;
        StopFailingAllocations();
        EXPECT_EQ(std::u16string(registrar.FindVariable(u"a")), u"1");
        EXPECT_EQ(registrar.FindVariable(u"b"), nullptr);
    }
}

TEST_F(Registrar, ResourceLoadingFailuresReportThePlatformErrorAndTouchNothing) {
    CRegObject registrar(registry, modules);
    EXPECT_EQ(registrar.RegisterScriptResource(u"C:\\missing.dll", 100), HResultFromWin32(2));
    EXPECT_EQ(registrar.RegisterScriptResource(kModule, 101), HResultFromWin32(1813));
    modules.findError = 0;  // a failure without an error code is still a failure
    EXPECT_EQ(registrar.RegisterScriptResource(kModule, 101), kFail);
    modules.AddResource(kModule, u"REGISTRY", u"EMPTY", "");
    EXPECT_EQ(registrar.RegisterNamedScriptResource(kModule, u"EMPTY"), HResultFromWin32(87));
    EXPECT_EQ(registrar.UnregisterNamedScriptResource(kModule, nullptr), kInvalidArg);
    EXPECT_TRUE(registry.Calls().empty());
}

TEST_F(Registrar, NamedResourcesRunAndBytesAbove127GoThroughTheCodePage) {
    modules.AddResource(kModule, u"REGISTRY", u"LT", "HKCU { 'k\xE0' = s %V% }");
    CRegObject registrar(registry, modules);
    ASSERT_EQ(registrar.AddVariable(u"v", u"x"), kOk);
    ASSERT_EQ(registrar.RegisterNamedScriptResource(kModule, u"LT"), kOk);
    EXPECT_EQ(registry.Dump(), (Lines{"HKCU\\k?", "HKCU\\k?|=S:x"}));
    RegKey key = kNoKey;
    EXPECT_EQ(registry.OpenKey(kCurrentUser, u"k\x1E0", kKeyRead, &key), 0);
    registry.CloseKey(key);
    ASSERT_EQ(registrar.UnregisterNamedScriptResource(kModule, u"LT"), kOk);
    EXPECT_TRUE(registry.Dump().empty());
}

TEST(DoubleSingleQuotes, DoublesQuotesWithinTheCapacityAndAlwaysTerminates) {
    char16_t out[520];
    ASSERT_EQ(DoubleSingleQuotes(out, 520, u"O'Brien's"), kOk);
    EXPECT_EQ(std::u16string(out), u"O''Brien''s");
    const std::u16string path(519, u'p');
    ASSERT_EQ(DoubleSingleQuotes(out, 520, path.c_str()), kOk);
    EXPECT_EQ(std::u16string(out), path);
    const std::u16string quoteLast = std::u16string(518, u'p') + u"'";
    ASSERT_EQ(DoubleSingleQuotes(out, 520, quoteLast.c_str()), kOk);
    EXPECT_EQ(std::u16string(out), quoteLast);
    ASSERT_EQ(DoubleSingleQuotes(out, 1, u"abc"), kOk);
    EXPECT_EQ(out[0], u'\0');
    EXPECT_EQ(DoubleSingleQuotes(out, 0, u"abc"), kInvalidArg);
}

}  // namespace
}  // namespace nivra::testing
