// The executable's resources: the main dialog template and the program icon,
// compiled into resource data as the resource compiler would.

#include "platform/linux/ui/DialogTemplate.h"
#include "platform/linux/ui/Resources.h"
#include "resources/GuitarIcon.h"
#include "resources/IconWriter.h"
#include "resources/Resources.h"

namespace {

constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD SliderStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS | TBS_HORZ;
constexpr DWORD NoId = 0xFFFFFFFF;  // -1: a control nobody asks for

platform::DialogItemTemplate Control(DWORD style, DWORD id, short x, short y, short cx, short cy)
{
    platform::DialogItemTemplate item;
    item.style = style;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    return item;
}

platform::DialogItemTemplate Label(const char* textUtf8, short x, short y, short cx, short cy)
{
    platform::DialogItemTemplate item = Control(LabelStyle, NoId, x, y, cx, cy);
    item.classAtom = platform::StaticClassAtom;
    item.text = textUtf8;
    return item;
}

platform::DialogItemTemplate Slider(DWORD id, short x, short y, short cx, short cy)
{
    platform::DialogItemTemplate item = Control(SliderStyle, id, x, y, cx, cy);
    item.className = TRACKBAR_CLASSA;
    return item;
}

std::vector<BYTE> MainDialog()
{
    platform::DialogTemplate dialog;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT;
    dialog.x = 0;
    dialog.y = 0;
    dialog.cx = 231;
    dialog.cy = 105;
    dialog.caption = "Strumkey";
    dialog.pointSize = 9;
    dialog.weight = 0;
    dialog.italic = 0;
    dialog.charset = DEFAULT_CHARSET;
    dialog.typeface = u8"ＭＳ Ｐゴシック";
    dialog.items = {
        Label(u8"ストロークの強さ:", 7, 7, 52, 12),
        Slider(IDC_STRENGTH, 6, 18, 217, 20),
        Label(u8"ストロークの速さ:", 6, 42, 66, 12),
        Slider(IDC_SPEED, 6, 54, 217, 20),
    };
    return platform::WriteDialogTemplate(dialog);
}

platform::ResourceSection Build()
{
    platform::ResourceSection section;
    section.push_back({platform::RT_DIALOG, IDD_MAIN, MainDialog()});
    const IconWriter::PixelArt images[] = {Guitar16, Guitar32};
    IconWriter::AddIcon(section, IDI_MAIN, 1, images);
    return section;
}

}  // namespace

const platform::ResourceSection& platform::ExecutableResources()
{
    static const ResourceSection section = Build();
    return section;
}
