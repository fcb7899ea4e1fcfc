#include "handler/command_verbs.h"

#include "handler/ordinal_table.h"

namespace nivra {

const char16_t* const g_commandVerbs[kCommandVerbCount] = {u"adoc"};

std::ptrdiff_t FindCommandVerb(const char16_t* verb, std::size_t length) noexcept {
    return FindOrdinal(g_commandVerbs, kCommandVerbCount, verb, length);
}

}  // namespace nivra
