#include "tools/rc/RcFormat.h"

#include <array>
#include <cstring>
#include <utility>

namespace kitrc
{
namespace
{
constexpr std::array<std::pair<ClassOrdinal, std::u16string_view>, 6> kClasses = {{
    {ClassOrdinal::Button, u"Button"},
    {ClassOrdinal::Edit, u"Edit"},
    {ClassOrdinal::Static, u"Static"},
    {ClassOrdinal::ListBox, u"ListBox"},
    {ClassOrdinal::ScrollBar, u"ScrollBar"},
    {ClassOrdinal::ComboBox, u"ComboBox"},
}};

std::u16string Number(unsigned value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

class Writer
{
  public:
    void Word(std::uint16_t value)
    {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value)
    {
        Word(static_cast<std::uint16_t>(value));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    void Text(const std::u16string &text)
    {
        for (char16_t c : text)
            Word(c);
        Word(0);
    }
    // A name or an ordinal: 0xFFFF then the ordinal for a predefined class.
    void ClassName(const std::u16string &name)
    {
        if (auto ordinal = OrdinalOfClass(name))
        {
            Word(0xFFFF);
            Word(static_cast<std::uint16_t>(*ordinal));
        }
        else
            Text(name);
    }
    void AlignDword()
    {
        while (bytes_.size() % 4)
            bytes_.push_back(0);
    }
    void Rectangle(std::int16_t x, std::int16_t y, std::int16_t cx, std::int16_t cy)
    {
        for (std::int16_t v : {x, y, cx, cy})
            Word(static_cast<std::uint16_t>(v));
    }
    Bytes Take() { return std::move(bytes_); }

  private:
    Bytes bytes_;
};

class Reader
{
  public:
    Reader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    std::uint16_t Word()
    {
        if (pos_ + 2 > size_)
        {
            ok_ = false;
            return 0;
        }
        std::uint16_t value = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return value;
    }
    std::uint32_t Dword()
    {
        std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
    std::uint8_t Byte()
    {
        if (pos_ + 1 > size_)
        {
            ok_ = false;
            return 0;
        }
        return data_[pos_++];
    }
    std::u16string Text()
    {
        std::u16string text;
        for (char16_t c = Word(); ok_ && c; c = Word())
            text.push_back(c);
        return text;
    }
    // A name, or an ordinal given by 0xFFFF; ordinals of classes become their names.
    std::u16string NameOrOrdinal(bool isClass)
    {
        if (pos_ + 2 <= size_ && data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF)
        {
            Word();
            std::uint16_t ordinal = Word();
            return isClass ? ClassOfOrdinal(ordinal) : u"#" + Number(ordinal);
        }
        return Text();
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~std::size_t{3}; }
    void Skip(std::size_t n)
    {
        if (pos_ + n > size_)
            ok_ = false;
        pos_ += n;
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};
} // namespace

std::optional<ClassOrdinal> OrdinalOfClass(const std::u16string &name)
{
    for (const auto &[ordinal, className] : kClasses)
        if (EqualNoCase(name, className))
            return ordinal;
    return std::nullopt;
}

std::u16string ClassOfOrdinal(std::uint16_t ordinal)
{
    for (const auto &[value, className] : kClasses)
        if (static_cast<std::uint16_t>(value) == ordinal)
            return std::u16string(className);
    return u"#" + Number(ordinal);
}

Bytes WriteDialog(const Dialog &dialog)
{
    Writer out;
    out.Word(1);      // dlgVer
    out.Word(0xFFFF); // signature of the extended template
    out.Dword(dialog.helpId);
    out.Dword(dialog.exStyle);
    out.Dword(dialog.style);
    out.Word(static_cast<std::uint16_t>(dialog.items.size()));
    out.Rectangle(dialog.x, dialog.y, dialog.cx, dialog.cy);
    out.Text(dialog.menu);
    out.Text(dialog.className);
    out.Text(dialog.caption);
    if (dialog.style & kDsSetFont)
    {
        out.Word(dialog.pointSize);
        out.Word(dialog.weight);
        out.Byte(dialog.italic);
        out.Byte(dialog.charset);
        out.Text(dialog.typeface);
    }
    for (const DialogItem &item : dialog.items)
    {
        out.AlignDword();
        out.Dword(item.helpId);
        out.Dword(item.exStyle);
        out.Dword(item.style);
        out.Rectangle(item.x, item.y, item.cx, item.cy);
        out.Dword(item.id);
        out.ClassName(item.className);
        out.Text(item.text);
        out.Word(0); // no creation data
    }
    return out.Take();
}

std::optional<Dialog> ReadDialog(const std::uint8_t *data, std::size_t size)
{
    Reader in(data, size);
    Dialog dialog;
    if (in.Word() != 1 || in.Word() != 0xFFFF)
        return std::nullopt;
    dialog.helpId = in.Dword();
    dialog.exStyle = in.Dword();
    dialog.style = in.Dword();
    const std::uint16_t count = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    dialog.menu = in.NameOrOrdinal(false);
    dialog.className = in.NameOrOrdinal(false);
    dialog.caption = in.Text();
    if (dialog.style & kDsSetFont)
    {
        dialog.pointSize = in.Word();
        dialog.weight = in.Word();
        dialog.italic = in.Byte();
        dialog.charset = in.Byte();
        dialog.typeface = in.Text();
    }
    for (std::uint16_t i = 0; i < count && in.Ok(); ++i)
    {
        in.AlignDword();
        DialogItem item;
        item.helpId = in.Dword();
        item.exStyle = in.Dword();
        item.style = in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = in.Dword();
        item.className = in.NameOrOrdinal(true);
        item.text = in.NameOrOrdinal(false);
        in.Skip(in.Word());
        dialog.items.push_back(std::move(item));
    }
    if (!in.Ok())
        return std::nullopt;
    return dialog;
}

Bytes WriteStringBlock(const std::u16string (&strings)[16])
{
    Writer out;
    for (const std::u16string &text : strings)
    {
        out.Word(static_cast<std::uint16_t>(text.size()));
        for (char16_t c : text)
            out.Word(c);
    }
    return out.Take();
}

std::optional<std::u16string> ReadStringBlock(const std::uint8_t *data, std::size_t size, unsigned index)
{
    Reader in(data, size);
    for (unsigned i = 0; i < index && in.Ok(); ++i)
        in.Skip(std::size_t{in.Word()} * 2);
    std::u16string text;
    const std::uint16_t length = in.Word();
    for (std::uint16_t i = 0; i < length && in.Ok(); ++i)
        text.push_back(in.Word());
    if (!in.Ok())
        return std::nullopt;
    return text;
}
} // namespace kitrc
