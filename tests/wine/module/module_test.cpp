#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "module/shipped_dll.h"
#include "product_paths.h"
#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

namespace nivra::test {
namespace {

// Each test loads the DLL afresh, so the cached factory and the lock count start anew.
class Module : public ::testing::Test {
  protected:
    Module() : dll_(NIVRA_DLL_PATH) {}
    void SetUp() override { ASSERT_TRUE(dll_.loaded()); }
    void TearDown() override { EXPECT_EQ(dll_.CanUnloadNow(), S_OK) << "a lock was left behind"; }
    ShippedDll dll_;
};

// An outer object for aggregation requests; it is never called.
struct Outer : IUnknown {
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

void* const kGarbage = reinterpret_cast<void*>(0x5A5A5A5A);

TEST_F(Module, ClassObjectRequestsCheckTheOutPointerAndTheClass) {
    EXPECT_EQ(dll_.GetClassObject(kHandlerClass, IID_IClassFactory, nullptr), E_POINTER);
    void* out = kGarbage;
    EXPECT_EQ(dll_.GetClassObject(IID_IShellExtInit, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(Module, EveryRequestGetsTheOneCachedFactoryAndClientReferencesLockOnce) {
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    IClassFactory* first = dll_.Factory();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);
    IClassFactory* second = dll_.Factory();
    EXPECT_EQ(second, first);
    first->Release();
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);
    second->Release();
    // The cache's own reference does not keep the DLL loaded.
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    IClassFactory* again = dll_.Factory();
    EXPECT_EQ(again, first);
    again->Release();
}

TEST_F(Module, AnInterfaceTheFactoryLacksIsRefusedAndTheFactoryStaysCached) {
    void* out = kGarbage;
    EXPECT_EQ(dll_.GetClassObject(kHandlerClass, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    IClassFactory* factory = dll_.Factory();
    ASSERT_NE(factory, nullptr);
    void* unknown = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<void*>(factory));
    static_cast<IUnknown*>(unknown)->Release();
    factory->Release();
}

TEST_F(Module, LockServerCountsBothWaysAndMayGoBelowZero) {
    IClassFactory* factory = dll_.Factory();
    ASSERT_NE(factory, nullptr);
    factory->Release();  // the cache keeps it
    ASSERT_EQ(dll_.CanUnloadNow(), S_OK);
    void* again = nullptr;
    ASSERT_EQ(dll_.GetClassObject(kHandlerClass, IID_IClassFactory, &again), S_OK);
    factory = static_cast<IClassFactory*>(again);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);
    factory = dll_.Factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE) << "count is -1";
    factory = dll_.Factory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
}

TEST_F(Module, AggregationIsRefusedForEveryInterface) {
    IClassFactory* factory = dll_.Factory();
    ASSERT_NE(factory, nullptr);
    Outer outer;
    for (const IID* iid : {&IID_IUnknown, &IID_IShellExtInit, &IID_IContextMenu}) {
        void* out = kGarbage;
        EXPECT_EQ(factory->CreateInstance(&outer, *iid, &out), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    factory->Release();
}

TEST_F(Module, TheDispatchInterfacesAreNeverHandedOut) {
    IClassFactory* factory = dll_.Factory();
    ASSERT_NE(factory, nullptr);
    for (const IID* iid : {&IID_IDispatch, &kHandlerDispatchInterface}) {
        void* out = kGarbage;
        EXPECT_EQ(factory->CreateInstance(nullptr, *iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    factory->Release();
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK) << "a refused object kept its lock";
}

TEST_F(Module, AHandlerHasOneIdentityAndOneContextMenuPointer) {
    IShellExtInit* init = dll_.NewHandler();
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);
    void* unknown = nullptr;
    void* menu[3] = {};
    const IID* menuIds[3] = {&IID_IContextMenu, &IID_IContextMenu2, &IID_IContextMenu3};
    ASSERT_EQ(init->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<void*>(init));
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(init->QueryInterface(*menuIds[i], &menu[i]), S_OK);
    EXPECT_EQ(menu[0], menu[1]);
    EXPECT_EQ(menu[1], menu[2]);
    EXPECT_NE(menu[0], unknown);
    void* backToUnknown = nullptr;
    ASSERT_EQ(static_cast<IUnknown*>(menu[2])->QueryInterface(IID_IUnknown, &backToUnknown), S_OK);
    EXPECT_EQ(backToUnknown, unknown);
    void* dispatch = kGarbage;
    EXPECT_EQ(init->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
    EXPECT_EQ(dispatch, nullptr);

    // One count behind every pointer: 1 + IUnknown + 3 menus + IUnknown again = 6.
    EXPECT_EQ(init->AddRef(), 7u);
    EXPECT_EQ(init->Release(), 6u);
    static_cast<IUnknown*>(backToUnknown)->Release();
    for (void* m : menu)
        static_cast<IUnknown*>(m)->Release();
    static_cast<IUnknown*>(unknown)->Release();
    EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(init->Release(), 0u);
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
}

TEST_F(Module, AFreshHandlerCountsFromOne) {
    IShellExtInit* init = dll_.NewHandler();
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init->AddRef(), 2u);
    EXPECT_EQ(init->Release(), 1u);
    EXPECT_EQ(init->Release(), 0u);
}

TEST_F(Module, EightThreadsAskingAtOnceGetOneFactory) {
    constexpr int kThreads = 8;
    std::vector<IClassFactory*> factories(kThreads, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ready++;
            while (ready < kThreads)
                std::this_thread::yield();
            factories[i] = dll_.Factory();
        });
    }
    for (auto& t : threads)
        t.join();
    for (IClassFactory* f : factories)
        EXPECT_EQ(f, factories[0]);
    ASSERT_NE(factories[0], nullptr);
    for (IClassFactory* f : factories)
        f->Release();
}

TEST(ShippedHandler, StartsTheApplicationBesideTheDll) {
    const std::wstring folder = MakeTempFolder(L"module");
    CopyInto(NIVRA_DLL_PATH, folder, NIVRA_DLL_FILE_NAME);
    CopyInto(ProgramFolder() + L"Nivra.exe", folder, L"Nivra.exe");
    {
        ShippedDll dll(folder + NIVRA_DLL_FILE_NAME);
        ASSERT_TRUE(dll.loaded());
        IShellExtInit* init = dll.NewHandler();
        ASSERT_NE(init, nullptr);
        HdropDataObject selection({L"C:\\Docs\\My Report.pdf"});
        EXPECT_EQ(init->Initialize(nullptr, &selection, nullptr), S_OK);
        IContextMenu* menu = nullptr;
        ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = "adoc";
        EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
        info.lpVerb = "ADOC";
        EXPECT_EQ(menu->InvokeCommand(&info), E_FAIL);
        menu->Release();
        EXPECT_EQ(init->Release(), 0u);
        EXPECT_EQ(dll.CanUnloadNow(), S_OK);
    }
    const auto received = WaitForFile(folder + L"Nivra.received.txt", std::chrono::seconds(20));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received,
              "nivra -create \"C:\\Docs\\My Report.pdf\"\n" + Utf8(folder) + "Nivra.exe\n");
}

}  // namespace
}  // namespace nivra::test
