#include "TCliPrompt.h"

#include <QByteArray>

#include <cctype>
#include <vector>

namespace {

struct TChoice
{
    char key;
    const char* label;
    TUserPrompt::Answer answer;
};

// The buttons of each kind, first button first.
std::vector<TChoice> choicesFor(TUserPrompt::Buttons buttons)
{
    using A = TUserPrompt::Answer;
    switch (buttons) {
    case TUserPrompt::Buttons::Ok:
        return {{'o', "OK", A::Ok}};
    case TUserPrompt::Buttons::OkCancel:
        return {{'o', "OK", A::Ok}, {'c', "Cancel", A::Cancel}};
    case TUserPrompt::Buttons::YesNo:
        return {{'y', "Yes", A::Yes}, {'n', "No", A::No}};
    case TUserPrompt::Buttons::YesNoCancel:
        return {{'y', "Yes", A::Yes}, {'n', "No", A::No}, {'c', "Cancel", A::Cancel}};
    }
    return {{'o', "OK", A::Ok}};
}

} // namespace

TCliPrompt::TCliPrompt(std::FILE* in, std::FILE* out, bool interactive)
    : m_in(in), m_out(out), m_interactive(interactive)
{
}

TUserPrompt::Answer TCliPrompt::Ask(const QString& text, const QString& caption, Buttons buttons, Icon)
{
    const std::vector<TChoice> choices = choicesFor(buttons);
    std::fprintf(m_out, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    if (choices.size() == 1 || !m_interactive) {
        std::fflush(m_out);
        return choices.front().answer;
    }

    for (;;) {
        QByteArray question;
        for (const TChoice& choice : choices) {
            question += question.isEmpty() ? "" : "/";
            question += "[" + QByteArray(1, static_cast<char>(std::toupper(choice.key))) + "]" +
                        QByteArray(choice.label + 1);
        }
        std::fprintf(m_out, "%s? ", question.constData());
        std::fflush(m_out);

        char line[256];
        if (!std::fgets(line, sizeof line, m_in)) {
            // End of input: nobody is there to answer.
            std::fputc('\n', m_out);
            return choices.front().answer;
        }
        const char* p = line;
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        const int key = std::tolower(static_cast<unsigned char>(*p));
        for (const TChoice& choice : choices) {
            if (key == choice.key) {
                return choice.answer;
            }
        }
    }
}
