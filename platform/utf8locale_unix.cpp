#include "utf8locale.h"

#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace platform {

Utf8CharacterType::Utf8CharacterType()
{
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (utf8)
        m_previous = uselocale(utf8);
}

Utf8CharacterType::~Utf8CharacterType()
{
    if (m_previous)
        uselocale(static_cast<locale_t>(m_previous));
}

} // namespace platform
