// A small Explorer-like host: one right-click on one file, printed as a user would see it.
//   nivra_host FILE
// Does what Explorer does: finds the context-menu handlers registered for every file
// (HKCR\*\ShellEx\ContextMenuHandlers), creates ours through the COM runtime, hands it the
// file in a data object, builds a real popup menu, prints the item, its help text, verb and
// image, invokes the command, and prints what the application received.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "support/hdrop_data_object.h"
#include "support/wine_files.h"

using namespace nivra::test;

namespace {

// {37653C37-DEDE-49F1-A788-4E46787130D9}
const CLSID kHandlerClass = {
    0x37653C37, 0xDEDE, 0x49F1, {0xA7, 0x88, 0x4E, 0x46, 0x78, 0x71, 0x30, 0xD9}};
constexpr UINT kFirstCommand = 1000;

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
}

int Fail(const std::string& what, const std::string& remedy) {
    std::fprintf(stderr, "error: %s\n  %s\n", what.c_str(), remedy.c_str());
    return 1;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The class registered under ContextMenuHandlers\NivraShellExt, or null when none is.
bool FindRegisteredHandler(CLSID& classId, std::wstring& dllPath) {
    HKEY handlers = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"*\\ShellEx\\ContextMenuHandlers", 0, KEY_READ,
                        &handlers) != ERROR_SUCCESS) {
        return false;
    }
    bool found = false;
    wchar_t name[256];
    for (DWORD i = 0; !found; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(handlers, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        wchar_t text[64] = {};
        LONG bytes = sizeof(text);
        if (::RegQueryValueW(handlers, name, text, &bytes) != ERROR_SUCCESS)
            continue;
        CLSID candidate;
        if (FAILED(::CLSIDFromString(text, &candidate)) ||
            !IsEqualCLSID(candidate, kHandlerClass)) {
            continue;
        }
        classId = candidate;
        wchar_t server[1024] = {};
        LONG serverBytes = sizeof(server);
        const std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
        ::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), server, &serverBytes);
        dllPath = server;
        Say("handler:      " + Utf8(name) + " " + Utf8(text));
        Say("registered:   " + Utf8(dllPath));
        found = true;
    }
    ::RegCloseKey(handlers);
    return found;
}

int RightClick(const std::wstring& file);

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return Fail("usage: nivra_host FILE", "give the file to right-click");
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return Fail("the COM runtime did not start", "");
    }
    const int status = RightClick(argv[1]);
    ::CoUninitialize();
    return status;
}

namespace {

int RightClick(const std::wstring& file) {
    CLSID classId;
    std::wstring dllPath;
    if (!FindRegisteredHandler(classId, dllPath)) {
        return Fail("no NivraShellExt handler is registered for all files",
                    "register it first: regsvr32 NivraShellExt.dll (scripts/run.sh does this)");
    }
    IShellExtInit* init = nullptr;
    HRESULT hr = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                    reinterpret_cast<void**>(&init));
    if (FAILED(hr))
        return Fail("CoCreateInstance failed with " + Hex(hr), "");

    HdropDataObject selection({file});
    hr = init->Initialize(nullptr, &selection, nullptr);
    Say("file:         " + Utf8(file));
    if (FAILED(hr))
        return Fail("Initialize refused the selection with " + Hex(hr), "");

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
        if (item.hbmpItem == HBMMENU_CALLBACK) {
            IContextMenu3* menu3 = nullptr;
            menu->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu3));
            MEASUREITEMSTRUCT measure = {};
            measure.CtlType = ODT_MENU;
            LRESULT handled = 0;
            if (menu3 != nullptr) {
                menu3->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure),
                                      &handled);
                menu3->Release();
            }
            Say("image:        drawn by the handler (owner-drawn), measured " +
                std::to_string(measure.itemWidth) + "x" + std::to_string(measure.itemHeight));
        } else if (item.hbmpItem != nullptr) {
            BITMAP bitmap = {};
            ::GetObjectW(item.hbmpItem, sizeof(bitmap), &bitmap);
            Say("image:        " + std::to_string(bitmap.bmWidth) + "x" +
                std::to_string(bitmap.bmHeight) + " bitmap, " + std::to_string(bitmap.bmBitsPixel) +
                " bits per pixel");
        } else {
            Say("image:        none");
        }

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

}  // namespace
