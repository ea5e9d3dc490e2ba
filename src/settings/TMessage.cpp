#include "settings/TMessage.h"

#include "settings/Language.h"
#include "settings/Messages.h"

namespace {

std::vector<const TMessage*>& registry()
{
    static std::vector<const TMessage*> messages;
    return messages;
}

} // namespace

TMessage::TMessage(const char* name, const char* original)
    : m_key(QStringLiteral("Messages.") + QLatin1String(name)), m_original(QString::fromUtf8(original))
{
    registry().push_back(this);
}

QString TMessage::Text() const
{
    if (!CurrentLanguageFile)
        return m_original; // shared, not copied: cheap enough for every row of a list
    return LanguageText(QStringLiteral("Messages"), m_key, m_original);
}

const std::vector<const TMessage*>& TMessage::All()
{
    return registry();
}
