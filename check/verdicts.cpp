#include "check/verdicts.h"

namespace nivra {

namespace {

// IMAGE_FILE_MACHINE_* and PROCESSOR_ARCHITECTURE_* values, spelled here to stay platform-free.
constexpr unsigned short kImageI386 = 0x014C;
constexpr unsigned short kImageAmd64 = 0x8664;
constexpr unsigned short kImageArm64 = 0xAA64;
constexpr unsigned short kArchitectureIntel = 0;
constexpr unsigned short kArchitectureAmd64 = 9;
constexpr unsigned short kArchitectureArm64 = 12;

char16_t Lower(char16_t unit) noexcept {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// "an x64 DLL" and the like, as the object of "cannot load".
const char16_t* DllPhrase(Machine machine) noexcept {
    switch (machine) {
        case Machine::kX86:
            return u"an x86 DLL";
        case Machine::kX64:
            return u"an x64 DLL";
        case Machine::kArm64:
            return u"an ARM64 DLL";
        case Machine::kNone:
            return u"a file that is not a Windows DLL";
        case Machine::kOther:
            break;
    }
    return u"a DLL for another machine";
}

}  // namespace

Machine MachineOfImage(unsigned short imageMachine) noexcept {
    switch (imageMachine) {
        case 0:
            return Machine::kNone;
        case kImageI386:
            return Machine::kX86;
        case kImageAmd64:
            return Machine::kX64;
        case kImageArm64:
            return Machine::kArm64;
        default:
            return Machine::kOther;
    }
}

Machine WindowsMachine(bool wow64Process2Answered, unsigned short nativeImageMachine,
                       unsigned short processorArchitecture) noexcept {
    if (wow64Process2Answered)
        return MachineOfImage(nativeImageMachine);
    switch (processorArchitecture) {
        case kArchitectureIntel:
            return Machine::kX86;
        case kArchitectureAmd64:
            return Machine::kX64;
        case kArchitectureArm64:
            return Machine::kArm64;
        default:
            return Machine::kOther;
    }
}

const char16_t* MachineName(Machine machine) noexcept {
    switch (machine) {
        case Machine::kX86:
            return u"x86";
        case Machine::kX64:
            return u"x64";
        case Machine::kArm64:
            return u"ARM64";
        case Machine::kNone:
            return u"not a Windows DLL";
        case Machine::kOther:
            break;
    }
    return u"a DLL for another machine";
}

HResult WhyNotLoadable(Machine windows, RegistryView view, Machine dll, WideString& why) noexcept {
    why.Clear();
    const bool explorers = view == RegistryView::k64Bit || windows == Machine::kX86;
    const Machine wanted = view == RegistryView::k64Bit ? windows : Machine::kX86;
    if (dll == wanted)
        return kOk;
    if (!explorers)
        return why.Assign(u": 32-bit programs cannot load it; register the x86 DLL instead");
    NV_RETURN_IF_FAILED(why.Append(windows == Machine::kArm64 ? u": ARM64"
                                   : windows == Machine::kX86 ? u": 32-bit"
                                                              : u": 64-bit"));
    NV_RETURN_IF_FAILED(why.Append(u" Explorer cannot load "));
    NV_RETURN_IF_FAILED(why.Append(DllPhrase(dll)));
    NV_RETURN_IF_FAILED(why.Append(u"; register the "));
    NV_RETURN_IF_FAILED(why.Append(MachineName(wanted)));
    return why.Append(u" DLL instead");
}

bool IsPackageNamed(const char16_t* fullName, std::size_t length, const char16_t* name) noexcept {
    std::size_t i = 0;
    for (; name[i] != u'\0'; ++i) {
        if (i == length || Lower(fullName[i]) != Lower(name[i]))
            return false;
    }
    return i < length && fullName[i] == u'_';
}

bool IsMicrosoftPackage(const char16_t* fullName, std::size_t length) noexcept {
    constexpr char16_t kPublisherId[] = u"_8wekyb3d8bbwe";
    constexpr std::size_t kIdLength = sizeof(kPublisherId) / sizeof(char16_t) - 1;
    if (length < kIdLength)
        return false;
    for (std::size_t i = 0; i < kIdLength; ++i) {
        if (Lower(fullName[length - kIdLength + i]) != kPublisherId[i])
            return false;
    }
    return true;
}

bool ManifestNamesClass(const unsigned char* bytes, std::size_t size,
                        const char* classId) noexcept {
    // The identifier between its braces.
    const char* id = classId[0] == '{' ? classId + 1 : classId;
    std::size_t idLength = 0;
    while (id[idLength] != '\0' && id[idLength] != '}')
        ++idLength;
    // UTF-16 manifests are read one unit at a time, from after the byte-order mark; the
    // identifier is ASCII, so a unit matches only with a zero high byte.
    const bool utf16 = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const std::size_t first = utf16 ? 2 : 0;
    const std::size_t step = utf16 ? 2 : 1;
    if (idLength == 0 || size < first)
        return false;
    const std::size_t units = (size - first) / step;
    for (std::size_t start = 0; start + idLength <= units; ++start) {
        std::size_t matched = 0;
        for (; matched < idLength; ++matched) {
            const std::size_t at = first + (start + matched) * step;
            if ((utf16 && bytes[at + 1] != 0) ||
                Lower(bytes[at]) != Lower(static_cast<unsigned char>(id[matched]))) {
                break;
            }
        }
        if (matched == idLength)
            return true;
    }
    return false;
}

}  // namespace nivra
