#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "handler/ui_language.h"

namespace nivra {
namespace {

TEST(UiLanguage, OnlyExactlyLtChoosesLithuanian) {
    // The platform delivers at most two characters and a terminator.
    EXPECT_TRUE(IsLithuanianSetting(u"lt"));
    for (const char16_t* value : {u"LT", u"Lt", u"lT", u"l", u"en", u"", u"t"}) {
        EXPECT_FALSE(IsLithuanianSetting(value)) << std::string(value, value + 2);
    }
}

TEST(UiLanguage, TheSettingsFileLiesInAFolderBelowTheModule) {
    WideString directory;
    ASSERT_EQ(directory.Assign(u"C:\\Apps\\Tool\\"), kOk);
    WideString path;
    ASSERT_EQ(BuildSettingsPath(directory, path), kOk);
    EXPECT_EQ(std::u16string(path.Text()), u"C:\\Apps\\Tool\\configuration\\config.ini");
    ASSERT_EQ(BuildSettingsPath(WideString(), path), kOk);
    EXPECT_EQ(std::u16string(path.Text()), u"configuration\\config.ini");
}

struct FakeSetting {
    std::u16string value;
    HResult result = kOk;
    std::atomic<int> reads{0};
    std::chrono::milliseconds delay{0};

    static HResult Read(void* context, char16_t* out) {
        auto* self = static_cast<FakeSetting*>(context);
        self->reads++;
        std::this_thread::sleep_for(self->delay);
        for (std::size_t i = 0; i < self->value.size() && i < 2; ++i)
            out[i] = self->value[i];
        return self->result;
    }
    static void Yield(void*) { std::this_thread::yield(); }
    LanguageSettingSource Source() { return {Read, Yield, this}; }
};

TEST(UiLanguage, TheDecisionIsMadeOnceAndThenKept) {
    FakeSetting setting;
    setting.value = u"lt";
    std::int32_t cache = kLanguageUndecided;
    EXPECT_EQ(DecideUiLanguage(&cache, setting.Source()), kLanguageLithuanian);
    setting.value = u"en";
    EXPECT_EQ(DecideUiLanguage(&cache, setting.Source()), kLanguageLithuanian);
    EXPECT_EQ(cache, kLanguageLithuanian);
    EXPECT_EQ(setting.reads, 1);
}

TEST(UiLanguage, AFailedReadDecidesEnglish) {
    FakeSetting setting;
    setting.value = u"lt";
    setting.result = kOutOfMemory;
    std::int32_t cache = kLanguageUndecided;
    EXPECT_EQ(DecideUiLanguage(&cache, setting.Source()), kLanguageEnglish);
    EXPECT_EQ(cache, kLanguageEnglish);
}

TEST(UiLanguage, ThreadsArrivingDuringTheFirstReadWaitForItsAnswer) {
    FakeSetting setting;
    setting.value = u"lt";
    setting.delay = std::chrono::milliseconds(50);
    std::int32_t cache = kLanguageUndecided;
    std::vector<std::thread> threads;
    std::atomic<int> lithuanian{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (DecideUiLanguage(&cache, setting.Source()) == kLanguageLithuanian)
                lithuanian++;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(lithuanian, 8);
    EXPECT_EQ(setting.reads, 1);
}

}  // namespace
}  // namespace nivra
