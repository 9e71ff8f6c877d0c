// The main dialog template and its resource data, checked against the values
// written out here; damaged templates are refused.

#include "platform/linux/ui/DialogTemplate.h"
#include "platform/linux/ui/Resources.h"
#include "platform/Win32.h"
#include "resources/Resources.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const platform::Resource* Find(WORD type, WORD id, WORD language = 0)
{
    return platform::FindResource(platform::ModuleHandle(platform::ExecutableResources()), type, id, language);
}

struct ExpectedItem {
    int id;
    const char* className;  // null for the predefined static class
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

constexpr DWORD Label = 0x50020000;   // child, visible, group, left-aligned
constexpr DWORD Slider = 0x50010001;  // child, visible, tab stop, auto ticks, horizontal

// The main dialog in one language.
struct MainDialogCase {
    const char* name;
    WORD language;
    WORD pointSize;
    const char* typeface;
    ExpectedItem items[4];
};

std::ostream& operator<<(std::ostream& out, const MainDialogCase& c)
{
    return out << c.name;
}

class MainDialogTemplate : public testing::TestWithParam<MainDialogCase> {};

TEST_P(MainDialogTemplate, HoldsItsStylesFontAndControls)
{
    const MainDialogCase& c = GetParam();
    const platform::Resource* resource = Find(platform::RT_DIALOG, IDD_MAIN, c.language);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->language, c.language);
    std::optional<platform::DialogTemplate> dialog = platform::ParseDialogTemplate(resource->data);
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->style, 0x80CA00C0u);  // popup, caption, system menu, minimize box, modal frame, font
    EXPECT_EQ(dialog->style, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, 231);
    EXPECT_EQ(dialog->cy, 105);
    EXPECT_EQ(dialog->menuId, 0);
    EXPECT_EQ(dialog->caption, "Strumkey");
    EXPECT_EQ(dialog->pointSize, c.pointSize);
    EXPECT_EQ(dialog->weight, 0);
    EXPECT_EQ(dialog->italic, 0);
    EXPECT_EQ(dialog->charset, 1);
    EXPECT_EQ(dialog->typeface, c.typeface);
    ASSERT_EQ(dialog->items.size(), std::size(c.items));
    for (std::size_t i = 0; i < std::size(c.items); ++i) {
        const platform::DialogItemTemplate& item = dialog->items[i];
        const ExpectedItem& want = c.items[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(static_cast<int>(item.id), want.id);
        if (want.className == nullptr) {
            EXPECT_EQ(item.classAtom, 0x0082);
        } else {
            EXPECT_EQ(item.classAtom, 0);
            EXPECT_EQ(item.className, want.className);
        }
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_TRUE(item.creationData.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, MainDialogTemplate,
                         testing::Values(MainDialogCase{"Japanese",
                                                        0x0411,
                                                        9,
                                                        u8"ＭＳ Ｐゴシック",
                                                        {{-1, nullptr, u8"ストロークの強さ:", Label, 7, 7, 52, 12},
                                                         {1021, "msctls_trackbar32", "", Slider, 6, 18, 217, 20},
                                                         {-1, nullptr, u8"ストロークの速さ:", Label, 6, 42, 66, 12},
                                                         {1022, "msctls_trackbar32", "", Slider, 6, 54, 217, 20}}},
                                         MainDialogCase{"English",
                                                        0x0409,
                                                        8,
                                                        "MS Shell Dlg",
                                                        {{-1, nullptr, "Strength of a stroke:", Label, 7, 7, 216, 10},
                                                         {1021, "msctls_trackbar32", "", Slider, 6, 18, 217, 20},
                                                         {-1, nullptr, "Time between strings:", Label, 7, 42, 216, 10},
                                                         {1022, "msctls_trackbar32", "", Slider, 6, 54, 217, 20}}}),
                         [](const testing::TestParamInfo<MainDialogCase>& info) { return info.param.name; });

TEST(DialogTemplate, DataIsAnExtendedTemplateAsTheResourceCompilerLaysItOut)
{
    const std::vector<BYTE>& data = Find(platform::RT_DIALOG, IDD_MAIN)->data;
    ASSERT_GE(data.size(), 26u);
    // dlgVer 1, signature 0xFFFF, help id 0, extended style 0, style, 4 items.
    const BYTE header[] = {1,    0,    0xFF, 0xFF, 0, 0, 0, 0, 0, 0,   0, 0,   0xC0,
                           0x00, 0xCA, 0x80, 4,    0, 0, 0, 0, 0, 231, 0, 105, 0};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), data.begin()));
    // No menu, no class, then the caption in UTF-16.
    const BYTE caption[] = {0, 0, 0, 0, 'S', 0, 't', 0, 'r', 0};
    EXPECT_TRUE(std::equal(std::begin(caption), std::end(caption), data.begin() + 26));
}

TEST(DialogTemplate, EveryTruncationIsRefusedAndWritingRoundTrips)
{
    const std::vector<BYTE>& data = Find(platform::RT_DIALOG, IDD_MAIN)->data;
    for (std::size_t size = 0; size < data.size(); ++size)
        EXPECT_FALSE(platform::ParseDialogTemplate(std::span(data.data(), size)).has_value()) << size;
    std::vector<BYTE> old = data;
    old[0] = 0;  // not an extended template
    EXPECT_FALSE(platform::ParseDialogTemplate(old).has_value());
    EXPECT_EQ(platform::WriteDialogTemplate(*platform::ParseDialogTemplate(data)), data);
}

// Whatever is written reads back the same: the font block goes with DS_SETFONT
// alone, and texts keep every character, a leading byte-order mark too.
TEST(DialogTemplate, WrittenTemplatesReadBackTheSame)
{
    const DWORD FixedSys = 0x0008;
    struct Case {
        DWORD style;
        const char* caption;
        const char* itemText;
    } cases[] = {
        {DS_SETFONT, "Strumkey", u8"ストローク"},
        {FixedSys, "Strumkey", "x"},
        {DS_SETFONT | FixedSys, "", ""},
        {0,
         "\xEF\xBB\xBF"
         "caption",
         "\xEF\xBB\xBF"},
        {DS_SETFONT, "\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBFx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        platform::DialogTemplate dialog;
        dialog.style = c.style;
        dialog.caption = c.caption;
        if (c.style & DS_SETFONT) {
            dialog.pointSize = 9;
            dialog.typeface =
                "\xEF\xBB\xBF"
                "Sans";
        }
        platform::DialogItemTemplate item;
        item.classAtom = platform::StaticClassAtom;
        item.text = c.itemText;
        item.creationData = {1, 2};
        dialog.items = {item, item};
        const std::vector<BYTE> bytes = platform::WriteDialogTemplate(dialog);
        const std::optional<platform::DialogTemplate> read = platform::ParseDialogTemplate(bytes);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->caption, dialog.caption);
        EXPECT_EQ(read->pointSize, dialog.pointSize);
        EXPECT_EQ(read->typeface, dialog.typeface);
        ASSERT_EQ(read->items.size(), 2u);
        EXPECT_EQ(read->items[1].text, item.text);
        EXPECT_EQ(read->items[1].creationData, item.creationData);
        EXPECT_EQ(platform::WriteDialogTemplate(*read), bytes);
    }
}

TEST(DialogTemplate, ResourcesAreFoundByModuleTypeAndId)
{
    platform::ResourceSection section = {{platform::RT_DIALOG, 7, {1, 2, 3}}};
    HINSTANCE own = platform::ModuleHandle(section);
    EXPECT_EQ(platform::ModuleHandle(section), own);
    EXPECT_NE(own, platform::ModuleHandle(platform::ExecutableResources()));
    ASSERT_NE(platform::FindResource(own, platform::RT_DIALOG, 7), nullptr);
    EXPECT_EQ(platform::FindResource(own, platform::RT_DIALOG, 7)->data.size(), 3u);
    EXPECT_EQ(platform::FindResource(own, platform::RT_DIALOG, IDD_MAIN), nullptr);
    EXPECT_EQ(platform::FindResource(own, platform::RT_ICON, 7), nullptr);
    EXPECT_EQ(platform::FindResource(nullptr, platform::RT_DIALOG, 7), nullptr);
    // A template that is not one fails the dialog before any window exists.
    EXPECT_EQ(DialogBoxParamA(own, MAKEINTRESOURCEA(7), nullptr, nullptr, 0), -1);
    EXPECT_EQ(DialogBoxParamA(own, MAKEINTRESOURCEA(8), nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

}  // namespace
