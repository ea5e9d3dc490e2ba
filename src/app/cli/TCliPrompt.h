#pragma once

#include "util/TUserPrompt.h"

#include <cstdio>

// The command line's way of asking: messages go to standard error; a question is
// asked on the terminal when standard input is one, and otherwise (scripts, pipes)
// answered with its first button.
class TCliPrompt final : public TUserPrompt
{
public:
    TCliPrompt(std::FILE* in, std::FILE* out, bool interactive);

    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;

private:
    std::FILE* m_in;
    std::FILE* m_out;
    bool m_interactive;
};
