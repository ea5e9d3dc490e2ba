#include "util/TUserPrompt.h"

#include <cstdio>

namespace {

class TStderrPrompt final : public TUserPrompt
{
public:
    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        switch (buttons) {
        case Buttons::Ok:
        case Buttons::OkCancel:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Answer::Yes;
        }
        return Answer::Ok;
    }
};

} // namespace

TUserPrompt& TUserPrompt::Current()
{
    static TStderrPrompt fallback;
    TUserPrompt* installed = TInstalled::Get();
    return installed ? *installed : fallback;
}
