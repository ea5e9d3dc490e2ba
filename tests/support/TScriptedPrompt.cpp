#include "support/TScriptedPrompt.h"

TScriptedPrompt::TScriptedPrompt(Answer defaultAnswer) : m_default(defaultAnswer)
{
    m_installed.emplace(this);
}

TScriptedPrompt::~TScriptedPrompt() = default;

TUserPrompt::Answer TScriptedPrompt::Ask(const QString& text, const QString& caption, Buttons buttons, Icon)
{
    m_asked.append({text, caption, buttons});
    return m_answers.isEmpty() ? m_default : m_answers.takeFirst();
}
