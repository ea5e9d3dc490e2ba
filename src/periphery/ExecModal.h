#pragma once

#include <QDialog>

// Runs a filled dialog modally, or hands it to the answer a test set for its kind
// (Form::TModalAnswer) in place of the modal loop. Returns the dialog's result.
template<typename Form> int ExecModal(Form& form)
{
    if (const auto& answer = Form::TModalAnswer::Get()) {
        answer(form);
        return form.result();
    }
    return form.exec();
}
