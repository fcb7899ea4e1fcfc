// What the check concludes from what it read: which machine Windows runs on, whether a
// registered DLL can be loaded where it is registered, and which provisioned package is ours.
// Platform-free, so that every machine's case is tested natively (there is no ARM64 Wine here).
#pragma once

#include <cstddef>

#include "common/result_codes.h"
#include "common/wide_string.h"

namespace nivra {

enum class Machine { kNone, kX86, kX64, kArm64, kOther };

// The machine of a PE header's IMAGE_FILE_MACHINE_* value; kNone for 0 (not a PE file).
Machine MachineOfImage(unsigned short imageMachine) noexcept;

// The machine Windows runs on. IsWow64Process2's native machine, when the call answered, is the
// truth for every process; GetNativeSystemInfo's PROCESSOR_ARCHITECTURE_* is the fallback for
// Windows before 10 (1709), and tells an x64 program emulated on ARM64 Windows "x64".
Machine WindowsMachine(bool wow64Process2Answered, unsigned short nativeImageMachine,
                       unsigned short processorArchitecture) noexcept;

// "x86", "x64", "ARM64"; "not a Windows DLL" for kNone, "a DLL for another machine" for kOther.
const char16_t* MachineName(Machine machine) noexcept;

// Which registry view a registration was read from.
enum class RegistryView { k64Bit, k32Bit };

// Why the programs that read `view` on Windows of `windows` cannot load a DLL built for `dll`,
// with the fix, as the tail of a finding (": ..."); empty when they can. The 64-bit view is
// Explorer's, whose machine is Windows' own; the 32-bit view is x86 programs', Explorer's too on
// 32-bit Windows.
[[nodiscard]] HResult WhyNotLoadable(Machine windows, RegistryView view, Machine dll,
                                     WideString& why) noexcept;

// The package name that the README's installer steps give the package: the fallback for a
// provisioned package whose manifest cannot be read.
inline constexpr char16_t kPackageName[] = u"Nivra.Adoc";

// Whether a package full name ("Name_Version_Architecture_ResourceId_PublisherId") is of the
// package called `name`, in any letter case.
bool IsPackageNamed(const char16_t* fullName, std::size_t length, const char16_t* name) noexcept;

// Whether it is one of Microsoft's own packages (publisher id 8wekyb3d8bbwe), the inbox apps
// that make up most of a machine's provisioned list and never serve our class.
bool IsMicrosoftPackage(const char16_t* fullName, std::size_t length) noexcept;

// Whether a package manifest's bytes (UTF-8, or UTF-16 with its byte-order mark) name the class
// `classId` (registry form; manifests write it without braces), in any letter case.
bool ManifestNamesClass(const unsigned char* bytes, std::size_t size, const char* classId) noexcept;

}  // namespace nivra
