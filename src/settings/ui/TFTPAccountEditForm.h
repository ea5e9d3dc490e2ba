#pragma once

#include "util/TOverride.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The parts of an FTP account, as the account editor edits them. Every part is a text as
// typed; the port is not checked.
struct TFTPAccount
{
    QString Address;
    QString Port;
    QString Login;
    QString Password;
    QString Directory;
    bool PassiveMode = false;
};

// The FTP account editor: address, port, login, password, directory and passive mode.
class TFTPAccountEditForm : public QDialog
{
    Q_OBJECT

public:
    explicit TFTPAccountEditForm(QWidget* parent = nullptr);

    void SetAccount(const TFTPAccount& account);
    TFTPAccount Account() const;

    QLineEdit* AddressEdit;
    QLineEdit* PortEdit;
    QLineEdit* LoginEdit;
    QLineEdit* PasswordEdit;
    QLineEdit* DirectoryEdit;
    QCheckBox* PassiveModeCheckBox;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

    // Drives the window in place of its modal loop while a scope of it lasts; the window's
    // result (accept or reject) decides as the user's choice would.
    using TModalAnswer = TOverride<TFTPAccountEditForm, std::function<void(TFTPAccountEditForm& form)>>;
};

// Shows the editor with account's parts. On OK stores the edited parts in account and
// returns true; on Cancel or close leaves account as it was and returns false.
bool OpenFTPAccountEditor(TFTPAccount& account, QWidget* parent = nullptr);
