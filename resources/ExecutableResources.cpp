// The executable's resources: the main dialog template and the strings in
// Japanese and in English, and the program icon, compiled into resource data
// as the resource compiler would.

#include "platform/linux/ui/DialogTemplate.h"
#include "platform/linux/ui/Resources.h"
#include "platform/StringTable.h"
#include "resources/GuitarIcon.h"
#include "resources/IconWriter.h"
#include "resources/Resources.h"

#include <QString>

#include <array>
#include <map>
#include <string>

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

constexpr WORD Japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr WORD English = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

platform::DialogTemplate MainDialogFrame()
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
    return dialog;
}

std::vector<BYTE> JapaneseMainDialog()
{
    platform::DialogTemplate dialog = MainDialogFrame();
    dialog.typeface = u8"ＭＳ Ｐゴシック";
    dialog.items = {
        Label(u8"ストロークの強さ:", 7, 7, 52, 12),
        Slider(IDC_STRENGTH, 6, 18, 217, 20),
        Label(u8"ストロークの速さ:", 6, 42, 66, 12),
        Slider(IDC_SPEED, 6, 54, 217, 20),
    };
    return platform::WriteDialogTemplate(dialog);
}

// The system's dialog font, the labels as wide as the sliders: the same
// window in English.
std::vector<BYTE> EnglishMainDialog()
{
    platform::DialogTemplate dialog = MainDialogFrame();
    dialog.pointSize = 8;
    dialog.typeface = "MS Shell Dlg";
    dialog.items = {
        Label("Strength of a stroke:", 7, 7, 216, 10),
        Slider(IDC_STRENGTH, 6, 18, 217, 20),
        Label("Time between strings:", 7, 42, 216, 10),
        Slider(IDC_SPEED, 6, 54, 217, 20),
    };
    return platform::WriteDialogTemplate(dialog);
}

struct Text {
    WORD id;
    const char* utf8;
};

const Text JapaneseTexts[] = {
    {IDS_ALREADY_RUNNING, u8"二重起動はできません"},
    {IDS_READY, u8"ﾚﾃﾞｨ"},
    {IDS_BREAKING_UP, u8"音切れ: 設定ファイルの AudioBufferFrames を %d に"},
    {IDS_NO_SUCH_ID, u8"指定のIDは定義されていません"},
    {IDS_LOAD_FAILED, u8"ファイルロードに失敗"},
    {IDS_USAGE, u8"使い方: strumkey [--help | --version]\n"},
    {IDS_HELP,
     u8"Strumkey: コンピューターのキーボードで弾くギター。\n"
     u8"ウィンドウにキーボードのフォーカスがあるあいだ、A から G でコードをストロークします。\n"
     u8"Shift、Ctrl、Alt、Tab でコードの種類を選び、= と - でルートを半音上げ下げし、\n"
     u8"数字キーで効果音を鳴らし、スペースですべての音を止めます。\n"
     u8"\n"
     u8"  --help     このヘルプを表示して終了します\n"
     u8"  --version  バージョンを表示して終了します\n"
     u8"\n"
     u8"設定はプログラムと同じフォルダーの strumkey.ini に保存されます。\n"},
    {IDS_HELP_SETTINGS_WINDOWS, u8"そのフォルダーに書き込めないときは %APPDATA%\\Strumkey\\ に保存されます。\n"},
    {IDS_HELP_SETTINGS_LINUX,
     u8"そのフォルダーに書き込めないときは $XDG_CONFIG_HOME/strumkey/ (~/.config/strumkey/) に保存されます。\n"},
    {IDS_NOT_SAVED, u8"Strumkey: 設定を保存できませんでした: "},
};

const Text EnglishTexts[] = {
    {IDS_ALREADY_RUNNING, "Strumkey is already running."},
    {IDS_READY, "Ready"},
    {IDS_BREAKING_UP, "Sound breaks up: set AudioBufferFrames=%d in settings"},
    {IDS_NO_SUCH_ID, "A sound was asked for that se.csv does not list."},
    {IDS_LOAD_FAILED, "A sound file could not be loaded."},
    {IDS_USAGE, "Usage: strumkey [--help | --version]\n"},
    {IDS_HELP,
     "Strumkey: a guitar played on the computer keyboard.\n"
     "While its window has the keyboard focus, A to G strum chords; Shift, Ctrl,\n"
     "Alt and Tab choose the kind of chord, = and - raise or lower the root, the\n"
     "digits play sound effects and Space stops every sound.\n"
     "\n"
     "  --help     show this help and exit\n"
     "  --version  show the version and exit\n"
     "\n"
     "The settings are kept in strumkey.ini beside the program, or, where its\n"},
    {IDS_HELP_SETTINGS_WINDOWS, "folder cannot be written, in %APPDATA%\\Strumkey\\.\n"},
    {IDS_HELP_SETTINGS_LINUX, "folder cannot be written, in $XDG_CONFIG_HOME/strumkey/ (~/.config/strumkey/).\n"},
    {IDS_NOT_SAVED, "Strumkey: the settings could not be saved to "},
};

// A language's strings as string table blocks.
template <std::size_t N>
void AddStrings(platform::ResourceSection& section, WORD language, const Text (&texts)[N])
{
    std::map<unsigned, std::array<std::u16string, platform::StringsPerBlock>> blocks;
    for (const Text& text : texts)
        blocks[platform::StringBlockOf(text.id)][text.id % platform::StringsPerBlock] =
            QString::fromUtf8(text.utf8).toStdU16String();
    for (const auto& [block, strings] : blocks)
        section.push_back(
            {platform::RT_STRING, static_cast<WORD>(block), platform::WriteStringBlock(strings), language});
}

platform::ResourceSection Build()
{
    platform::ResourceSection section;
    section.push_back({platform::RT_DIALOG, IDD_MAIN, JapaneseMainDialog(), Japanese});
    section.push_back({platform::RT_DIALOG, IDD_MAIN, EnglishMainDialog(), English});
    AddStrings(section, Japanese, JapaneseTexts);
    AddStrings(section, English, EnglishTexts);
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
