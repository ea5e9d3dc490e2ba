#include "mainwindow/TTipList.h"

TTipList::TTip TTipList::At(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return ParseLine(m_lines[index]);
}

TTipList::TTip TTipList::ParseLine(const QString& line)
{
    if (!line.startsWith(QLatin1Char('/')))
        return {line, QString()};
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    // A page path with no text after it is shown as it stands, without a page.
    if (blank < 0)
        return {line, QString()};
    return {line.mid(blank + 1), line.left(blank)};
}
