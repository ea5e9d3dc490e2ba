#include "support/TScriptedPrompt.h"

TScriptedPrompt::TScriptedPrompt(Answer defaultAnswer) : m_default(defaultAnswer)
{
    TUserPrompt::Install(this);
}

TScriptedPrompt::~TScriptedPrompt()
{
    TUserPrompt::Install(nullptr);
}

TUserPrompt::Answer TScriptedPrompt::Ask(const QString& text, const QString& caption, Buttons buttons, Icon)
{
    m_asked.append({text, caption, buttons});
    return m_answers.isEmpty() ? m_default : m_answers.takeFirst();
}
