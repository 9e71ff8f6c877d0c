// The dialog template reader. The input is a template. One that reads is
// written out again, and what is written reads back to the same template:
// the same bytes when written once more, as many items as its header counts.

#include "platform/linux/ui/DialogTemplate.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<platform::DialogTemplate> dialog = platform::ParseDialogTemplate(std::span(data, size));
    if (!dialog)
        return 0;
    STRUMKEY_CHECK(dialog->items.size() == static_cast<std::size_t>(data[16] | data[17] << 8));
    const std::vector<BYTE> written = platform::WriteDialogTemplate(*dialog);
    const std::optional<platform::DialogTemplate> again = platform::ParseDialogTemplate(written);
    STRUMKEY_CHECK(again.has_value());
    STRUMKEY_CHECK(again->caption == dialog->caption && again->typeface == dialog->typeface);
    STRUMKEY_CHECK(again->items.size() == dialog->items.size());
    for (std::size_t i = 0; i < again->items.size(); ++i)
        STRUMKEY_CHECK(again->items[i].text == dialog->items[i].text &&
                       again->items[i].className == dialog->items[i].className &&
                       again->items[i].creationData == dialog->items[i].creationData);
    STRUMKEY_CHECK(platform::WriteDialogTemplate(*again) == written);
    return 0;
}
