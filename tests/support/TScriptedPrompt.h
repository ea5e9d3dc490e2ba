#pragma once

#include <optional>

#include "util/TUserPrompt.h"

#include <QList>
#include <QString>

// A prompt that records every question and answers from a queue (then a default).
// Installs itself for its lifetime.
class TScriptedPrompt final : public TUserPrompt
{
public:
    struct Asked
    {
        QString text;
        QString caption;
        Buttons buttons;
    };

    explicit TScriptedPrompt(Answer defaultAnswer = Answer::Ok);
    ~TScriptedPrompt() override;

    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;

    void queue(Answer answer) { m_answers.append(answer); }
    const QList<Asked>& asked() const { return m_asked; }

private:
    Answer m_default;
    QList<Answer> m_answers;
    QList<Asked> m_asked;
    std::optional<TInstalled::Scope> m_installed;
};
