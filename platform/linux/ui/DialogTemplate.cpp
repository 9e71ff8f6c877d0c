// Reading and writing extended dialog templates. Every read is checked
// against the end of the data, so a damaged template is refused, not followed.

#include "platform/linux/ui/DialogTemplate.h"

#include <QString>
#include <QStringDecoder>

namespace platform {
namespace {

class Reader {
public:
    explicit Reader(std::span<const BYTE> data) : data(data) {}

    bool Ok() const { return ok; }

    WORD Word()
    {
        if (!Has(2))
            return 0;
        WORD value = static_cast<WORD>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte()
    {
        if (!Has(1))
            return 0;
        return data[pos++];
    }
    // A zero-terminated UTF-16 string, as UTF-8. Every character is kept,
    // a leading byte-order mark too.
    std::string String()
    {
        std::u16string text;
        for (;;) {
            WORD c = Word();
            if (!ok || c == 0)
                break;
            text.push_back(static_cast<char16_t>(c));
        }
        return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size())).toStdString();
    }
    // A string or a number (0xFFFF followed by the number); 0 for none.
    void StringOrOrdinal(WORD& ordinal, std::string& text)
    {
        WORD first = Word();
        if (first == 0xFFFF) {
            ordinal = Word();
        } else if (first != 0) {
            pos -= 2;
            text = String();
        }
    }
    void Skip(std::size_t count)
    {
        if (Has(count))
            pos += count;
    }
    void AlignDword() { Skip((4 - pos % 4) % 4); }
    std::vector<BYTE> Bytes(std::size_t count)
    {
        if (!Has(count))
            return {};
        std::vector<BYTE> bytes(data.begin() + static_cast<std::ptrdiff_t>(pos),
                                data.begin() + static_cast<std::ptrdiff_t>(pos + count));
        pos += count;
        return bytes;
    }

private:
    bool Has(std::size_t count)
    {
        if (ok && data.size() - pos >= count)
            return true;
        ok = false;
        return false;
    }

    std::span<const BYTE> data;
    std::size_t pos = 0;
    bool ok = true;
};

class Writer {
public:
    void Word(WORD value)
    {
        bytes.push_back(static_cast<BYTE>(value));
        bytes.push_back(static_cast<BYTE>(value >> 8));
    }
    void Dword(DWORD value)
    {
        Word(static_cast<WORD>(value));
        Word(static_cast<WORD>(value >> 16));
    }
    void Short(short value) { Word(static_cast<WORD>(value)); }
    void Byte(BYTE value) { bytes.push_back(value); }
    void String(const std::string& utf8)
    {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
        for (QChar c : text)
            Word(c.unicode());
        Word(0);
    }
    void StringOrOrdinal(WORD ordinal, const std::string& text)
    {
        if (ordinal != 0) {
            Word(0xFFFF);
            Word(ordinal);
        } else {
            String(text);  // an empty text is the single 0 that means none
        }
    }
    void AlignDword()
    {
        while (bytes.size() % 4 != 0)
            bytes.push_back(0);
    }
    void Bytes(const std::vector<BYTE>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    std::vector<BYTE> Take() { return std::move(bytes); }

private:
    std::vector<BYTE> bytes;
};

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const BYTE> data)
{
    Reader in(data);
    DialogTemplate dialog;
    WORD version = in.Word();
    WORD signature = in.Word();
    if (!in.Ok() || version != 1 || signature != 0xFFFF)
        return std::nullopt;
    dialog.helpId = in.Dword();
    dialog.exStyle = in.Dword();
    dialog.style = in.Dword();
    WORD count = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    std::string menuName;
    in.StringOrOrdinal(dialog.menuId, menuName);
    WORD classAtom = 0;
    in.StringOrOrdinal(classAtom, dialog.className);
    dialog.caption = in.String();
    // The font block follows DS_SETFONT alone: DS_FIXEDSYS without it names
    // no font.
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        dialog.weight = in.Word();
        dialog.italic = in.Byte();
        dialog.charset = in.Byte();
        dialog.typeface = in.String();
    }
    for (WORD i = 0; i < count && in.Ok(); ++i) {
        in.AlignDword();
        DialogItemTemplate item;
        item.helpId = in.Dword();
        item.exStyle = in.Dword();
        item.style = in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = in.Dword();
        in.StringOrOrdinal(item.classAtom, item.className);
        WORD textOrdinal = 0;  // an image id for icon statics; not shown
        in.StringOrOrdinal(textOrdinal, item.text);
        WORD extra = in.Word();
        item.creationData = in.Bytes(extra);
        dialog.items.push_back(std::move(item));
    }
    if (!in.Ok())
        return std::nullopt;
    return dialog;
}

std::vector<BYTE> WriteDialogTemplate(const DialogTemplate& dialog)
{
    Writer out;
    out.Word(1);
    out.Word(0xFFFF);
    out.Dword(dialog.helpId);
    out.Dword(dialog.exStyle);
    out.Dword(dialog.style);
    out.Word(static_cast<WORD>(dialog.items.size()));
    out.Short(dialog.x);
    out.Short(dialog.y);
    out.Short(dialog.cx);
    out.Short(dialog.cy);
    out.StringOrOrdinal(dialog.menuId, {});
    out.StringOrOrdinal(0, dialog.className);
    out.String(dialog.caption);
    if (dialog.style & DS_SETFONT) {
        out.Word(dialog.pointSize);
        out.Word(dialog.weight);
        out.Byte(dialog.italic);
        out.Byte(dialog.charset);
        out.String(dialog.typeface);
    }
    for (const DialogItemTemplate& item : dialog.items) {
        out.AlignDword();
        out.Dword(item.helpId);
        out.Dword(item.exStyle);
        out.Dword(item.style);
        out.Short(item.x);
        out.Short(item.y);
        out.Short(item.cx);
        out.Short(item.cy);
        out.Dword(item.id);
        out.StringOrOrdinal(item.classAtom, item.className);
        out.StringOrOrdinal(0, item.text);
        out.Word(static_cast<WORD>(item.creationData.size()));
        out.Bytes(item.creationData);
    }
    return out.Take();
}

}  // namespace platform
