#include "search/TMask.h"

#include <utility>

namespace {

char16_t upCase(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// Units taken by the character at pos: 2 for a surrogate pair, else 1.
qsizetype charWidth(const QString& name, qsizetype pos)
{
    return (pos + 1 < name.size() && name.at(pos).isHighSurrogate() && name.at(pos + 1).isLowSurrogate()) ? 2
                                                                                                          : 1;
}

} // namespace

void TMask::TCharSet::add(char16_t from, char16_t to)
{
    if (to < from)
        return;
    for (unsigned c = from; c <= to && c < 256; ++c)
        Low.set(c);
    if (to >= 256)
        High.emplace_back(std::max<char16_t>(from, 256), to);
}

bool TMask::TCharSet::contains(char16_t c) const
{
    if (c < 256)
        return Low.test(c);
    for (const auto& [from, to] : High)
        if (c >= from && c <= to)
            return true;
    return false;
}

TMask::TMask(const QString& mask)
{
    const qsizetype length = mask.size();
    bool skipPending = false;
    int cards = 0;
    // Position is 1-based for the message; `i` is the 0-based index being read.
    auto fail = [&](qsizetype i) { throw EMaskException(mask, int(i + 1)); };
    auto addState = [&](TMaskState s, qsizetype i) {
        s.SkipTo = skipPending;
        skipPending = false;
        if (s.SkipTo && ++cards > MaxCards)
            fail(i);
        FMask.push_back(s);
    };

    qsizetype i = 0;
    while (i < length) {
        const char16_t c = mask.at(i).unicode();
        if (c == u'*') {
            skipPending = true;
            ++i;
        } else if (c == u'?') {
            if (!skipPending) {
                TMaskState s;
                s.State = msAny;
                addState(s, i);
            }
            ++i;
        } else if (c == u'[') {
            const qsizetype start = i;
            ++i;
            TMaskState s;
            s.State = msSet;
            TCharSet set;
            bool any = false;
            int previous = -1;
            if (i < length && mask.at(i) == u'!') {
                s.Negate = true;
                ++i;
            }
            for (;;) {
                if (i >= length)
                    fail(i); // unclosed set
                const char16_t m = mask.at(i).unicode();
                if (m == u']') {
                    if (!any)
                        fail(i); // empty set
                    ++i;
                    break;
                }
                if (QChar::isHighSurrogate(m)) {
                    // A two-unit character cannot be a set member; it is skipped.
                    i += 2;
                    continue;
                }
                if (m == u'-') {
                    if (previous < 0 || i + 1 >= length)
                        fail(i);
                    ++i;
                    set.add(char16_t(previous), upCase(mask.at(i).unicode()));
                    any = true;
                    ++i;
                    continue;
                }
                previous = upCase(m);
                set.add(char16_t(previous), char16_t(previous));
                any = true;
                ++i;
            }
            s.SetIndex = int(m_sets.size());
            m_sets.push_back(std::move(set));
            addState(s, start);
        } else if (QChar::isHighSurrogate(c) && i + 1 < length && mask.at(i + 1).isLowSurrogate()) {
            TMaskState s;
            s.State = msMBCSLiteral;
            s.Literal = c;
            s.Trail = mask.at(i + 1).unicode();
            addState(s, i);
            i += 2;
        } else {
            TMaskState s;
            s.State = msLiteral;
            s.Literal = upCase(c);
            addState(s, i);
            ++i;
        }
    }
    TMaskState end; // end of name
    addState(end, length);
    FSize = int(FMask.size());
}

bool TMask::accepts(const TMaskState& s, const QString& name, qsizetype pos) const
{
    const qsizetype length = name.size();
    if (s.State == msLiteral && s.Literal == 0)
        return pos == length;
    if (pos >= length)
        return false;
    const char16_t c = upCase(name.at(pos).unicode());
    switch (s.State) {
    case msLiteral:
        return c == s.Literal;
    case msAny:
        return true;
    case msSet:
        return m_sets[size_t(s.SetIndex)].contains(c) != s.Negate;
    case msMBCSLiteral:
        return pos + 1 < length && name.at(pos).unicode() == s.Literal &&
               name.at(pos + 1).unicode() == s.Trail;
    }
    return false;
}

bool TMask::Matches(const QString& name) const
{
    // Only the last "*" met is ever resumed: when the states after it cannot match from
    // any later position, no other length given to an earlier "*" can help, since the last
    // one absorbs whatever the earlier ones would leave. Resuming every "*" in turn would
    // try every split of the name among them, which grows as a power of its length.
    std::pair<qsizetype, int> resume{0, -1};
    const qsizetype length = name.size();
    qsizetype pos = 0;
    int first = 0;
    for (;;) {
        bool failed = false;
        for (int i = first; i < FSize; ++i) {
            const TMaskState& s = FMask[size_t(i)];
            if (s.SkipTo) {
                if (s.State == msLiteral && s.Literal == 0) {
                    pos = length;
                } else {
                    while (pos < length && !accepts(s, name, pos))
                        pos += charWidth(name, pos);
                }
                resume = pos < length ? std::pair<qsizetype, int>{pos + charWidth(name, pos), i}
                                      : std::pair<qsizetype, int>{0, -1};
            }
            if (!accepts(s, name, pos)) {
                failed = true;
                break;
            }
            pos += charWidth(name, pos);
        }
        if (!failed)
            return true;
        if (resume.second < 0)
            return false;
        pos = resume.first;
        first = resume.second;
    }
}

bool MatchesMask(const QString& name, const QString& mask)
{
    return TMask(mask).Matches(name);
}
