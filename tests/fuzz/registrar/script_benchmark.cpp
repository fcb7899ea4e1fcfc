// Times both passes of generated scripts of 1,000 to 64,000 keys against the in-memory
// registry and prints the time per key.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "memory_registry.h"
#include "registrar/script_interpreter.h"

namespace {

class NoVariables : public nivra::IVariableLookup {
  public:
    const char16_t* FindVariable(const char16_t* name) const noexcept override {
        return name[0] == u'V' ? u"value" : nullptr;
    }
};

// Groups of 100 keys, each with a default and a named value.
std::u16string MakeScript(std::size_t keys) {
    std::u16string script = u"HKCU\r\n{\r\n\tNoRemove Bench\r\n\t{\r\n";
    for (std::size_t i = 0; i < keys; ++i) {
        if (i % 100 == 0)
            script +=
                u"\t\tGroup" + nivra::testing::Widen(std::to_string(i / 100)) + u"\r\n\t\t{\r\n";
        script += u"\t\t\tKey" + nivra::testing::Widen(std::to_string(i)) +
                  u" = s '%V%'\r\n\t\t\t{\r\n\t\t\t\tval Number = d 42\r\n\t\t\t}\r\n";
        if (i % 100 == 99 || i + 1 == keys)
            script += u"\t\t}\r\n";
    }
    return script + u"\t}\r\n}\r\n";
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main() {
    std::printf("%8s %14s %14s\n", "keys", "register us/key", "unregister us/key");
    for (std::size_t keys = 1000; keys <= 64000; keys *= 2) {
        const std::u16string script = MakeScript(keys);
        nivra::testing::MemoryRegistry registry;
        registry.SetRecording(false);
        NoVariables variables;
        auto interpreter = std::make_unique<nivra::CRegScriptInterpreter>(registry, variables);
        const auto start = std::chrono::steady_clock::now();
        const nivra::HResult registered = interpreter->RunScript(script.c_str(), true);
        const auto middle = std::chrono::steady_clock::now();
        const nivra::HResult unregistered = interpreter->RunScript(script.c_str(), false);
        const auto end = std::chrono::steady_clock::now();
        if (registered != nivra::kOk || unregistered != nivra::kOk) {
            std::printf("run failed: 0x%08x 0x%08x\n", static_cast<unsigned>(registered),
                        static_cast<unsigned>(unregistered));
            return 1;
        }
        std::printf("%8zu %14.3f %14.3f\n", keys, Seconds(middle - start) * 1e6 / keys,
                    Seconds(end - middle) * 1e6 / keys);
    }
    return 0;
}
