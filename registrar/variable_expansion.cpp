#include "registrar/variable_expansion.h"

#include <cstring>

#include "common/wide_string.h"
#include "registrar/script_buffer.h"
#include "registrar/script_text.h"

namespace nivra {

namespace {

HResult ExpandInto(const char16_t* script, const IVariableLookup& variables,
                   CScriptBuffer& buffer) noexcept {
    const char16_t* cursor = script;
    while (*cursor != u'\0') {
        if (*cursor != u'%') {
            const char16_t* next = NextChar(cursor);
            NV_RETURN_IF_FAILED(buffer.Append(cursor, static_cast<std::size_t>(next - cursor)));
            cursor = next;
            continue;
        }
        ++cursor;
        if (*cursor == u'%') {
            NV_RETURN_IF_FAILED(buffer.Append(u"%", 1));
            ++cursor;
            continue;
        }
        const char16_t* end = cursor;
        while (*end != u'\0' && *end != u'%')
            ++end;
        if (*end == u'\0')
            return kDispException;
        const std::size_t length = static_cast<std::size_t>(end - cursor);
        if (length > kMaxVariableNameLength)
            return kFail;
        char16_t name[kMaxVariableNameLength + 1];
        std::memcpy(name, cursor, length * sizeof(char16_t));
        name[length] = u'\0';
        const char16_t* value = variables.FindVariable(name);
        if (value == nullptr)
            return kDispException;
        // The value goes in as it is and is not scanned again.
        NV_RETURN_IF_FAILED(buffer.Append(value, TextLength(value)));
        cursor = end + 1;
    }
    return kOk;
}

}  // namespace

HResult ExpandVariables(const char16_t* script, const IVariableLookup& variables,
                        char16_t** expanded) noexcept {
    if (expanded == nullptr)
        return kPointer;
    *expanded = nullptr;
    if (script == nullptr)
        return kPointer;
    CScriptBuffer buffer;
    NV_RETURN_IF_FAILED(buffer.Init(TextLength(script)));
    NV_RETURN_IF_FAILED(ExpandInto(script, variables, buffer));
    *expanded = buffer.Detach();
    return kOk;
}

}  // namespace nivra
