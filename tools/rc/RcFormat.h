// The binary forms Windows gives compiled resources: dialog templates (DLGTEMPLATEEX with its
// DLGITEMTEMPLATEEX items), string-table blocks of sixteen UTF-16 strings and icon groups.
// The compiler writes them; a binding reads dialog templates back as Windows would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kitrc
{
using Bytes = std::vector<std::uint8_t>;

// The predefined window classes a template names by ordinal.
enum class ClassOrdinal : std::uint16_t
{
    Button = 0x80,
    Edit = 0x81,
    Static = 0x82,
    ListBox = 0x83,
    ScrollBar = 0x84,
    ComboBox = 0x85,
};

struct DialogItem
{
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint32_t id = 0;
    std::u16string className; // "Button" for ordinal 0x80 and so on
    std::u16string text;
};

struct Dialog
{
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::u16string menu;      // empty: none
    std::u16string className; // empty: the dialog class
    std::u16string caption;
    // The font, present when the style has DS_SETFONT (or DS_SHELLFONT).
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::u16string typeface;
    std::vector<DialogItem> items;
};

inline constexpr std::uint32_t kDsSetFont = 0x40;
inline constexpr std::uint32_t kDsShellFont = 0x48;

// The ordinal of a predefined class name (any case), or none.
std::optional<ClassOrdinal> OrdinalOfClass(const std::u16string &name);
std::u16string ClassOfOrdinal(std::uint16_t ordinal);

Bytes WriteDialog(const Dialog &dialog);
// The dialog of a DLGTEMPLATEEX; none when the bytes are not one (too short, wrong signature).
std::optional<Dialog> ReadDialog(const std::uint8_t *data, std::size_t size);

// A string-table block: the strings of ids (block - 1) * 16 .. (block - 1) * 16 + 15, each as
// its UTF-16 length and characters; an empty string is a length of 0.
Bytes WriteStringBlock(const std::u16string (&strings)[16]);
// String index (0..15) of a block; none when the block is cut short.
std::optional<std::u16string> ReadStringBlock(const std::uint8_t *data, std::size_t size, unsigned index);
} // namespace kitrc
