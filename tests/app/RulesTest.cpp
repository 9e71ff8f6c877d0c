// The rules that the code checks in every build: breaking one stops the
// program with the place where it broke.

#include "app/Settings.h"
#include "platform/Win32.h"
#include "stroke/StrokeScheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

TEST(RulesDeathTest, ABrokenRuleStopsTheProgramAndSaysWhere)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Rule {
        const char* broken;
        std::function<void()> breakIt;
    } rules[] = {
        {"slot.timerId",
         [] {
             TheNoteSlots.slots[3].timerId = 7;  // a trigger still pending
             ResetNoteSlots();
         }},
        {"OnMainThread", [] { std::thread([] { LoadSettingsFrom("x.ini"); }).join(); }},
        {"OnMainThread", [] { std::thread([] { SaveSettingsTo("x.ini"); }).join(); }},
        {"OnMainThread", [] { std::thread([] { MessageBoxA(nullptr, "x", "y", MB_OK); }).join(); }},
        {"OnMainThread", [] { std::thread([] { DialogBoxParamA(nullptr, nullptr, nullptr, nullptr, 0); }).join(); }},
    };
    for (const Rule& rule : rules)
        EXPECT_DEATH(rule.breakIt(), std::string("check failed: .*") + rule.broken) << rule.broken;
    ResetNoteSlots();  // the rules hold here
}

}  // namespace
