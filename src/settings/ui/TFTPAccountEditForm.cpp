#include "settings/ui/TFTPAccountEditForm.h"
#include "periphery/ExecModal.h"

#include "settings/ui/LanguageForms.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* addField(QWidget* owner, QFormLayout* form, const char* labelName, const QString& label,
                    const char* name)
{
    auto* edit = new QLineEdit(owner);
    edit->setObjectName(QLatin1String(name));
    auto* caption = new QLabel(label, owner);
    caption->setObjectName(QLatin1String(labelName));
    caption->setBuddy(edit);
    form->addRow(caption, edit);
    return edit;
}

QPushButton* makeButton(QWidget* owner, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, owner);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TFTPAccountEditForm::TFTPAccountEditForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FTPAccountEditForm"));
    setWindowTitle(QStringLiteral("FTP Settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint);

    auto* form = new QFormLayout();
    AddressEdit = addField(this, form, "AddressLabel", QStringLiteral("Address:"), "AddressEdit");
    PortEdit = addField(this, form, "PortLabel", QStringLiteral("Port:"), "PortEdit");
    LoginEdit = addField(this, form, "LoginLabel", QStringLiteral("Username (login):"), "LoginEdit");
    // Shown as typed, so the user can check it.
    PasswordEdit = addField(this, form, "PasswordLabel", QStringLiteral("Password:"), "PasswordEdit");
    DirectoryEdit = addField(this, form, "DirectoryLabel", QStringLiteral("Directory:"), "DirectoryEdit");
    PassiveModeCheckBox = new QCheckBox(QStringLiteral("Passive mode"), this);
    PassiveModeCheckBox->setObjectName(QStringLiteral("PassiveModeCheckBox"));
    form->addRow(QString(), PassiveModeCheckBox);

    OkButton = makeButton(this, "OkButton", QStringLiteral("&OK"));
    OkButton->setDefault(true);
    CancelButton = makeButton(this, "CancelButton", QStringLiteral("&Cancel"));
    HelpButton = makeButton(this, "HelpButton", QStringLiteral("&Help"));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(HelpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(332, 223);

    UpdateLanguage(this);
}

void TFTPAccountEditForm::SetAccount(const TFTPAccount& account)
{
    AddressEdit->setText(account.Address);
    PortEdit->setText(account.Port);
    LoginEdit->setText(account.Login);
    PasswordEdit->setText(account.Password);
    DirectoryEdit->setText(account.Directory);
    PassiveModeCheckBox->setChecked(account.PassiveMode);
}

TFTPAccount TFTPAccountEditForm::Account() const
{
    return {AddressEdit->text(),  PortEdit->text(),      LoginEdit->text(),
            PasswordEdit->text(), DirectoryEdit->text(), PassiveModeCheckBox->isChecked()};
}

bool OpenFTPAccountEditor(TFTPAccount& account, QWidget* parent)
{
    TFTPAccountEditForm form(parent);
    form.SetAccount(account);
    if (ExecModal(form) != QDialog::Accepted)
        return false;
    account = form.Account();
    return true;
}
