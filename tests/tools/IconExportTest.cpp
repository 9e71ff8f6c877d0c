// The desktop's icon files, as strumkey_icons writes them, against the icon
// that the program's own window shows.

#include "platform/linux/ui/Icon.h"
#include "platform/linux/ui/Resources.h"
#include "platform/Win32.h"
#include "resources/Resources.h"
#include "tests/support/TempFolder.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

namespace {

int RunExporter(const std::string& folder, const std::string& sizes)
{
    return std::system(
        ("'" + std::string(ICON_EXPORT) + "' '" + folder + "' test.icon " + sizes + " 2>/dev/null").c_str());
}

// The window icon's image of that side: 16 or 32.
QImage WindowIcon(int side)
{
    HICON icon = LoadIconA(platform::ModuleHandle(platform::ExecutableResources()), MAKEINTRESOURCEA(IDI_MAIN));
    const std::vector<QImage>* images = platform::IconImages(icon);
    if (images != nullptr)
        for (const QImage& image : *images)
            if (image.width() == side)
                return image;
    return {};
}

struct Scaled {
    int size;    // of the icon file
    int source;  // the side of the window icon it is drawn from
};
void PrintTo(const Scaled& s, std::ostream* out)
{
    *out << s.size << "px";
}

class IconExport : public ::testing::TestWithParam<Scaled> {};

TEST_P(IconExport, EveryPixelIsTheWindowIconsPixelItCovers)
{
    const Scaled s = GetParam();
    TempFolder folder;
    ASSERT_EQ(RunExporter(folder.Path(), std::to_string(s.size)), 0);
    const std::string file =
        folder.Path() + "/" + std::to_string(s.size) + "x" + std::to_string(s.size) + "/apps/test.icon.png";
    const QImage icon(QString::fromStdString(file));
    ASSERT_FALSE(icon.isNull()) << file;
    ASSERT_EQ(icon.size(), QSize(s.size, s.size));
    EXPECT_TRUE(icon.hasAlphaChannel());
    const QImage source = WindowIcon(s.source);
    ASSERT_EQ(source.width(), s.source);
    const int scale = s.size / s.source;
    int wrong = 0;
    for (int y = 0; y < s.size; ++y)
        for (int x = 0; x < s.size; ++x)
            if (icon.pixel(x, y) != source.pixel(x / scale, y / scale) && ++wrong <= 3)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << icon.pixel(x, y) << " for "
                              << source.pixel(x / scale, y / scale);
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(ThemeSizes, IconExport,
                         ::testing::Values(Scaled{16, 16}, Scaled{32, 32}, Scaled{48, 16}, Scaled{64, 32},
                                           Scaled{128, 32}, Scaled{256, 32}));

// A size that no image divides would come out blurred: refused, and nothing
// is written for it, nor for the good sizes before it.
TEST(IconExportSizes, ASizeNoImageDividesIsRefused)
{
    for (const char* sizes : {"24", "0", "-32", "16a", "16 24"}) {
        TempFolder folder;
        EXPECT_NE(RunExporter(folder.Path(), sizes), 0) << sizes;
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << sizes;
    }
}

}  // namespace
