#pragma once

#include "settings/Messages.h"
#include "util/TOverride.h"

#include <QString>

// Questions and messages to the user. The core asks through this interface; the
// desktop program installs one that shows message boxes, the command line one that
// writes to the terminal, and tests one that answers from a script.
class TUserPrompt
{
public:
    enum class Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel
    };
    enum class Icon
    {
        None,
        Information,
        Warning,
        Error,
        Question
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No
    };

    virtual ~TUserPrompt() = default;

    // Shows text with caption and the given buttons; returns the button chosen.
    virtual Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) = 0;

    // Shorthands for the two kinds every part uses.
    void ShowError(const QString& text) { Ask(text, Messages::Error.Text(), Buttons::Ok, Icon::Error); }
    bool Confirm(const QString& text, Buttons buttons = Buttons::OkCancel)
    {
        const Answer a = Ask(text, Messages::Confirmation.Text(), buttons, Icon::Question);
        return a == Answer::Ok || a == Answer::Yes;
    }

    // The prompt in use. Without an installed one, messages go to standard error and
    // every question is answered with its first button.
    static TUserPrompt& Current();
    // The prompt that answers while a scope of it lasts (a window's message boxes, a
    // test's script); without one, the default.
    using TInstalled = TOverride<TUserPrompt, TUserPrompt*>;
};
