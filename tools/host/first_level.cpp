#include "first_level.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "png_file.h"

#include "common/com_ptr_win32.h"
#include "common/unique_any_win32.h"
#include "module/identifiers_win32.h"
#include "support/shell_items.h"
#include "support/wine_files.h"

using namespace nivra::test;

namespace nivra::host {

namespace {

void Say(const std::string& label, const std::string& text) {
    std::string head = label + ":";
    head.resize(std::max<std::size_t>(head.size() + 1, 14), ' ');
    std::printf("%s%s\n", head.c_str(), text.c_str());
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

using TextGetter = HRESULT (STDMETHODCALLTYPE IExplorerCommand::*)(IShellItemArray*, LPWSTR*);

// A text the command hands out, freed as its caller must; empty with the failure in `error`.
std::wstring Text(IExplorerCommand* command, TextGetter getter, IShellItemArray* items,
                  std::string& error) {
    wchar_t* text = nullptr;
    const HRESULT hr = (command->*getter)(items, &text);
    error = FAILED(hr) || text == nullptr ? "failed with " + Hex(hr) : "";
    const std::wstring copy = error.empty() ? text : L"";
    ::CoTaskMemFree(text);
    return copy;
}

// The icon's pixels as straight-alpha RGBA rows, top row first. An icon without alpha takes
// its transparency from the mask.
std::vector<std::uint8_t> IconPixels(HICON icon, int& width, int& height) {
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return {};
    const UniqueBitmap color(info.hbmColor);
    const UniqueBitmap mask(info.hbmMask);
    BITMAP shape = {};
    ::GetObjectW(color.get(), sizeof(shape), &shape);
    width = shape.bmWidth;
    height = shape.bmHeight;
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    std::vector<std::uint8_t> masked(pixels.size());
    const UniqueScreenDc screen(::GetDC(nullptr));
    ::GetDIBits(screen.get(), color.get(), 0, height, pixels.data(), &format, DIB_RGB_COLORS);
    ::GetDIBits(screen.get(), mask.get(), 0, height, masked.data(), &format, DIB_RGB_COLORS);
    bool anyAlpha = false;
    for (std::size_t i = 3; i < pixels.size(); i += 4)
        anyAlpha = anyAlpha || pixels[i] != 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        std::swap(pixels[i], pixels[i + 2]);  // blue, green, red to red, green, blue
        if (!anyAlpha)
            pixels[i + 3] = masked[i] != 0 ? 0 : 255;
    }
    return pixels;
}

// Resolves `location` as Explorer does and saves the icon; only the count says whether an
// icon came back.
void ResolveIcon(const std::wstring& location, const std::wstring& png) {
    std::vector<wchar_t> file(location.begin(), location.end());
    file.push_back(L'\0');
    const int id = ::PathParseIconLocationW(file.data());
    HICON icon = nullptr;
    UINT iconId = 0;
    const UINT count =
        ::PrivateExtractIconsW(file.data(), id, 16, 16, &icon, &iconId, 1, LR_DEFAULTCOLOR);
    if (count != 1 || icon == nullptr) {
        Say("icon", "not found in " + Utf8(file.data()) + " (index " + std::to_string(id) + ")");
        return;
    }
    int width = 0;
    int height = 0;
    const UniqueIcon owned(icon);
    const std::vector<std::uint8_t> pixels = IconPixels(owned.get(), width, height);
    Say("icon", "resource " + std::to_string(-id) + " of " + Utf8(file.data()) + ", " +
                    std::to_string(width) + "x" + std::to_string(height));
    if (!png.empty() && !pixels.empty() && SavePng(png, width, height, pixels))
        Say("icon saved", Utf8(png));
}

}  // namespace

int FirstLevelRightClick(const std::wstring& dllPath, const std::wstring& file,
                         const std::wstring& png) {
    // Declared first, so every COM reference below is released before the DLL goes.
    const UniqueModule dll(::LoadLibraryW(dllPath.c_str()));
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(::GetProcAddress(dll.get(), "DllGetClassObject")));
    if (getClassObject == nullptr) {
        std::fprintf(stderr, "error: %s does not load\n", Utf8(dllPath).c_str());
        return 1;
    }
    int status = 0;
    {
        ComPtr<IClassFactory> factory;
        ComPtr<IExplorerCommand> command;
        HRESULT hr = getClassObject(CLSID_NivraExplorerCommand, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.put()));
        if (SUCCEEDED(hr)) {
            hr = factory.get()->CreateInstance(nullptr, IID_IExplorerCommand,
                                               reinterpret_cast<void**>(command.put()));
        }
        ComPtr<IShellItemArray> items = ShellItems({file});
        Say("file", Utf8(file));
        if (FAILED(hr)) {
            std::fprintf(stderr, "error: no explorer command: %s\n", Hex(hr).c_str());
            status = 1;
        } else if (items.get() == nullptr) {
            std::fprintf(stderr, "error: the shell made no item for %s\n", Utf8(file).c_str());
            status = 1;
        } else {
            IExplorerCommand* c = command.get();
            Say("command", "explorer command " + std::string(kExplorerCommandClassId));
            EXPCMDSTATE state = ECS_HIDDEN;
            hr = c->GetState(items.get(), FALSE, &state);
            Say("state", FAILED(hr)             ? "failed with " + Hex(hr)
                         : state == ECS_ENABLED ? std::string("enabled (shown on the first level)")
                                                : "hidden (" + std::to_string(state) + ")");
            std::string error;
            const std::wstring title = Text(c, &IExplorerCommand::GetTitle, items.get(), error);
            Say("title", error.empty() ? Utf8(title) : error);
            const std::wstring tip = Text(c, &IExplorerCommand::GetToolTip, items.get(), error);
            Say("tool tip", error.empty() ? Utf8(tip) : error);
            const std::wstring location = Text(c, &IExplorerCommand::GetIcon, items.get(), error);
            Say("icon location", error.empty() ? Utf8(location) : error);
            if (error.empty())
                ResolveIcon(location, png);
            if (state == ECS_ENABLED) {
                Say("invoked", Hex(c->Invoke(items.get(), nullptr)));
                const std::wstring folder = dllPath.substr(0, dllPath.rfind(L'\\') + 1);
                if (auto got =
                        WaitForFile(folder + L"Nivra.received.txt", std::chrono::seconds(20)))
                    Say("application received", got->substr(0, got->find('\n')));
                else
                    Say("application", "did not start (is Nivra.exe beside the DLL?)");
            } else {
                Say("invoked", "no: a hidden command is not on the menu");
            }
        }
    }
    return status;
}

}  // namespace nivra::host
