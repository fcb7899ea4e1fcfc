// A small Explorer-like host: one right-click on one file, printed as a user would see it.
//   nivra_host DLL FILE
// Loads the handler DLL as Explorer does (DllGetClassObject, IClassFactory), hands it the
// file in a data object, builds a real popup menu, prints the item, its help text and verb,
// saves nothing and invokes the command, then prints what the application received.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

using namespace nivra::test;

namespace {

// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {0x37653C37, 0xDEDE, 0x49F1,
                             {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
constexpr UINT kFirstCommand = 1000;

void Say(const std::string& text) { std::printf("%s\n", text.c_str()); }

int Fail(const std::string& what, const std::string& remedy) {
    std::fprintf(stderr, "error: %s\n  %s\n", what.c_str(), remedy.c_str());
    return 1;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return Fail("usage: nivra_host DLL FILE", "give the handler DLL and a file");
    const std::wstring dllPath = argv[1];
    const std::wstring file = argv[2];

    HMODULE dll = ::LoadLibraryW(dllPath.c_str());
    if (dll == nullptr) {
        return Fail("cannot load " + Utf8(dllPath), "build it first: bash scripts/test.sh");
    }
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (getClassObject == nullptr) return Fail("the DLL exports no DllGetClassObject", "");

    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(kHandlerClass, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return Fail("DllGetClassObject failed with " + Hex(hr), "");
    IShellExtInit* init = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (FAILED(hr)) return Fail("CreateInstance failed with " + Hex(hr), "");

    HdropDataObject selection({file});
    hr = init->Initialize(nullptr, &selection, nullptr);
    Say("file:         " + Utf8(file));
    if (FAILED(hr)) return Fail("Initialize refused the selection with " + Hex(hr), "");

    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    HMENU popup = ::CreatePopupMenu();
    hr = menu->QueryContextMenu(popup, 0, kFirstCommand, kFirstCommand + 100, CMF_NORMAL);
    const int added = SUCCEEDED(hr) ? HRESULT_CODE(hr) : 0;
    if (added == 0) {
        Say("command:      not offered for this file type");
    } else {
        wchar_t text[256] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STRING | MIIM_ID | MIIM_BITMAP;
        item.dwTypeData = text;
        item.cch = 255;
        ::GetMenuItemInfoW(popup, 0, TRUE, &item);
        wchar_t help[512] = {};
        menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 512);
        wchar_t verb[64] = {};
        menu->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(verb), 64);
        Say("menu item:    " + Utf8(text));
        Say("help text:    " + Utf8(help));
        Say("verb:         " + Utf8(verb));
        Say(std::string("image:        ") +
            (item.hbmpItem == HBMMENU_CALLBACK ? "drawn by the handler (owner-drawn)"
             : item.hbmpItem != nullptr       ? "16x16 bitmap with alpha"
                                              : "none"));

        CMINVOKECOMMANDINFO invoke = {};
        invoke.cbSize = sizeof(invoke);
        invoke.lpVerb = MAKEINTRESOURCEA(item.wID - kFirstCommand);
        hr = menu->InvokeCommand(&invoke);
        Say("invoked:      " + Hex(hr));
        const std::wstring folder = dllPath.substr(0, dllPath.rfind(L'\\') + 1);
        if (auto received = WaitForFile(folder + L"Nivra.received.txt", std::chrono::seconds(20))) {
            Say("application received: " + received->substr(0, received->find('\n')));
        } else {
            Say("application:  did not start (is Nivra.exe beside the DLL?)");
        }
    }
    ::DestroyMenu(popup);
    menu->Release();
    init->Release();
    return 0;
}
