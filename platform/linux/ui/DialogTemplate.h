#pragma once
// The extended dialog template (DLGTEMPLATEEX and its items) as a resource
// compiler writes it: read when a dialog is created, written by whoever builds
// a resource section. Texts here are UTF-8; the template holds UTF-16.

#include "platform/Win32.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Predefined control classes that a template names by number.
constexpr WORD ButtonClassAtom = 0x0080;
constexpr WORD EditClassAtom = 0x0081;
constexpr WORD StaticClassAtom = 0x0082;

struct DialogItemTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    DWORD id = 0;
    WORD classAtom = 0;     // a predefined class, or 0 when className names it
    std::string className;  // ASCII
    std::string text;
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    WORD menuId = 0;  // a menu resource; no menu when 0
    std::string className;
    std::string caption;
    // Present with DS_SETFONT only.
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

// Empty for data that is not a complete extended template.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const BYTE> data);

std::vector<BYTE> WriteDialogTemplate(const DialogTemplate& dialog);

}  // namespace platform
