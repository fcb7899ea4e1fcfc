#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "product_paths.h"
#include "stress/right_click.h"
#include "support/hdrop_data_object.h"

namespace nivra::test {
namespace {

// A handler of the shipped DLL with a supported file selected, in a folder without the
// application, so that nothing can be started.
class HostileCalls : public ::testing::Test {
  protected:
    HostileCalls() : dll_(NIVRA_DLL_PATH), handler_(dll_) {}
    void SetUp() override {
        ASSERT_TRUE(handler_.ok());
        HdropDataObject selection({L"C:\\docs\\report.pdf"});
        ASSERT_EQ(handler_.init->Initialize(nullptr, &selection, nullptr), S_OK);
    }
    HRESULT Invoke(LPCSTR verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = verb;
        return handler_.menu->InvokeCommand(&info);
    }
    ShippedDll dll_;
    HandlerRefs handler_;
};

constexpr UINT kTextKinds[] = {GCS_VERBA, GCS_HELPTEXTA, GCS_VERBW, GCS_HELPTEXTW};

TEST_F(HostileCalls, CommandStringsIntoAZeroSizeBufferWriteNothing) {
    for (UINT kind : kTextKinds) {
        SCOPED_TRACE(kind);
        char buffer[8];
        std::memset(buffer, 0x5A, sizeof(buffer));
        EXPECT_EQ(handler_.menu->GetCommandString(0, kind, nullptr, buffer, 0), S_OK);
        for (char c : buffer)
            ASSERT_EQ(c, 0x5A);
    }
}

TEST_F(HostileCalls, CommandStringsWithoutABufferAreRefusedUnlessItsSizeIsZero) {
    for (UINT kind : kTextKinds) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(handler_.menu->GetCommandString(0, kind, nullptr, nullptr, 0), S_OK);
        EXPECT_EQ(handler_.menu->GetCommandString(0, kind, nullptr, nullptr, 64), E_INVALIDARG);
        EXPECT_EQ(handler_.menu->GetCommandString(0, kind, nullptr, nullptr, 0xFFFFFFFF),
                  E_INVALIDARG);
    }
    // Validation writes nothing, so it needs no buffer.
    EXPECT_EQ(handler_.menu->GetCommandString(0, GCS_VALIDATEW, nullptr, nullptr, 64), S_OK);
}

TEST_F(HostileCalls, CommandStringsForOtherOffsetsOrUnknownKindsAreRefusedUntouched) {
    for (UINT_PTR command : {UINT_PTR{1}, UINT_PTR{0xFFFF}, UINT_PTR{0x10000}, ~UINT_PTR{0}}) {
        for (UINT kind : kTextKinds) {
            char buffer[8];
            std::memset(buffer, 0x5A, sizeof(buffer));
            EXPECT_EQ(handler_.menu->GetCommandString(command, kind, nullptr, buffer, 8),
                      E_INVALIDARG);
            EXPECT_EQ(buffer[0], 0x5A);
        }
    }
    for (UINT kind : {3u, 7u, 0x14u, 0x80000000u, 0xFFFFFFFFu}) {
        char buffer[8] = {};
        EXPECT_EQ(handler_.menu->GetCommandString(0, kind, nullptr, buffer, 8), E_INVALIDARG)
            << kind;
    }
}

TEST_F(HostileCalls, OneCharacterBuffersGetOnlyATerminator) {
    char ansi[2] = {'x', 'x'};
    EXPECT_EQ(handler_.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 1), S_OK);
    EXPECT_EQ(ansi[0], '\0');
    EXPECT_EQ(ansi[1], 'x');
    wchar_t wide[2] = {L'x', L'x'};
    EXPECT_EQ(
        handler_.menu->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<char*>(wide), 1),
        S_OK);
    EXPECT_EQ(wide[0], L'\0');
    EXPECT_EQ(wide[1], L'x');
}

TEST_F(HostileCalls, InvocationsOfUnknownVerbsOrOtherOffsetsFailAndStartNothing) {
    EXPECT_EQ(handler_.menu->InvokeCommand(nullptr), E_INVALIDARG);
    for (const char* verb : {"", "open", "ADOC", "adoc ", " adoc", "adocx", "ado"})
        EXPECT_EQ(Invoke(verb), E_FAIL) << verb;
    const std::string long_verb(100000, 'a');
    EXPECT_EQ(Invoke(long_verb.c_str()), E_FAIL);
    // Non-ASCII bytes in the thread's code page.
    EXPECT_EQ(Invoke("\xC4\xAE\xFF\x80"), E_FAIL);
    for (WORD offset : {1, 2, 0x7FFF, 0xFFFF})
        EXPECT_EQ(Invoke(MAKEINTRESOURCEA(offset)), E_FAIL) << offset;
}

TEST_F(HostileCalls, MenuMessagesWithoutAStructureOrForOtherControlsAreNotHandled) {
    LRESULT result = 7;
    for (UINT message : {WM_MEASUREITEM, WM_DRAWITEM, WM_INITMENUPOPUP, WM_MENUCHAR}) {
        EXPECT_EQ(handler_.menu->HandleMenuMsg2(message, 0, 0, &result), S_OK);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(handler_.menu->HandleMenuMsg(message, 0, 0), S_OK);
    }
    DrawTarget target;
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_BUTTON;
    draw.hDC = target.dc();
    EXPECT_EQ(
        handler_.menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &result),
        S_OK);
    EXPECT_EQ(result, 0);
    // A huge or inverted item rectangle still draws at a computed place without failing.
    draw.CtlType = ODT_MENU;
    draw.rcItem = {0, 0x7FFFFFF0, 16, -0x7FFFFFF0};
    EXPECT_EQ(
        handler_.menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &result),
        S_OK);
}

}  // namespace
}  // namespace nivra::test
