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

TMessage::TMessage(const char* name, const char* original) : m_name(name), m_original(original)
{
    registry().push_back(this);
}

QString TMessage::Key() const
{
    return QStringLiteral("Messages.") + QLatin1String(m_name);
}

QString TMessage::Text() const
{
    return LanguageText(QStringLiteral("Messages"), Key(), Original());
}

const std::vector<const TMessage*>& TMessage::All()
{
    return registry();
}
