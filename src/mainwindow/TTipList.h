#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>

// The program tips: one line per tip, either the tip's text alone or a help page path
// starting with "/", one blank and the text. The index of the tip on show wraps around
// at both ends of the list.
class TTipList
{
public:
    struct TTip
    {
        QString Text;
        QString MoreInfoPage; // empty when the tip has no help page
    };

    explicit TTipList(QStringList lines = {}) : m_lines(std::move(lines)) {}

    int Count() const { return int(m_lines.size()); }
    // An index outside the list gives 0.
    int Valid(int index) const { return index < 0 || index >= Count() ? 0 : index; }
    // The tip after index, the first after the last one.
    int Next(int index) const { return index + 1 >= Count() ? 0 : index + 1; }
    // The tip before index, the last before the first one (0 while the list is empty).
    int Previous(int index) const { return index - 1 < 0 ? std::max(Count() - 1, 0) : index - 1; }
    // Tip index; an empty tip for an index outside the list.
    TTip At(int index) const;

    static TTip ParseLine(const QString& line);

private:
    QStringList m_lines;
};
