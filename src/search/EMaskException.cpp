#include "search/EMaskException.h"

namespace {
QString maskMessage(const QString& mask, int position)
{
    return QStringLiteral("'%1' is an invalid mask at (%2)").arg(mask).arg(position);
}
} // namespace

EMaskException::EMaskException(const QString& mask, int position)
    : std::runtime_error(maskMessage(mask, position).toStdString()), m_message(maskMessage(mask, position)),
      m_position(position)
{
}
