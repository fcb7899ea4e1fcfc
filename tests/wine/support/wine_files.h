// Files, folders and processes for the Windows-side tests.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace nivra::test {

// The folder of the running test program, ending in a backslash.
std::wstring ProgramFolder();
// A new empty folder under the system's temporary folder, ending in a backslash.
std::wstring MakeTempFolder(const std::wstring& hint);
void WriteUtf8File(const std::wstring& path, const std::string& content);
std::optional<std::string> ReadFileBytes(const std::wstring& path);
std::wstring ReadUtf16File(const std::wstring& path);
void CopyInto(const std::wstring& source, const std::wstring& folder, const std::wstring& name);
// Runs a program to its end; returns its exit code, or -1 when it could not start.
int RunProgram(const std::wstring& program, const std::wstring& arguments,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Polls until the file exists, up to the timeout.
std::optional<std::string> WaitForFile(const std::wstring& path, std::chrono::milliseconds timeout);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

}  // namespace nivra::test
