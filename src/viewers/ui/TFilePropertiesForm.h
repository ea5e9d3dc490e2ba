#pragma once

#include "engine/VantrelLib.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TBaseElement;
class TFileProperties;

// What is known about one found file or folder: its icon and name, id, status, type,
// location, size, size on disk and the three dates. A deleted file the analysis rated
// has a Recovery page; where some of its clusters are in use, a button there asks the
// engine (off the GUI thread) which live files hold them and adds the answer.
class TFilePropertiesForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* HelpKeyword = "/files/howto.get-file-information.html";
    static constexpr int ImageCount = 5;

    explicit TFilePropertiesForm(QWidget* parent = nullptr);

    void FillFrom(const TFileProperties& properties);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* newValue(const QString& name);
    // Starts the engine's search for the owners of the file's clusters on a pool thread.
    void askOwners();
    // Adds the answer to the details; answered: the engine told (false: it failed).
    void showOwners(const QString& text, bool answered);

    QTabWidget* PageControl;
    QLabel* GeneralFileImage[ImageCount];
    QLineEdit* GeneralFileNameEdit;
    QLineEdit* GeneralFileIdEdit;
    QLineEdit* GeneralFileStatusEdit;
    QLineEdit* GeneralFileFoundEdit;
    QLineEdit* GeneralFileTypeEdit;
    QLineEdit* GeneralFileLocationEdit;
    QLineEdit* GeneralFileSizeEdit;
    QLineEdit* GeneralFileSizeOnDiskEdit;
    QLineEdit* GeneralFileCreatedEdit;
    QLineEdit* GeneralFileModifiedEdit;
    QLineEdit* GeneralFileAccessedEdit;
    QLabel* RecoveryVerdictLabel;
    QPlainTextEdit* RecoveryMemo;
    QPushButton* RecoveryOwnersButton;
    QPushButton* Button1;
    QPushButton* Button3;

private:
    int m_recoveryIndex = -1;
    QString m_title;
    std::shared_ptr<const TFileInfo> m_ownersRecord;
};

// The window's name in language files and the rest of the program.
using TPropertiesForm = TFilePropertiesForm;

// Fills the properties window from the element, shows it modally and frees it. Returns
// true; nothing is shown for a null element (false).
bool ShowFileProperties(TBaseElement* element, QWidget* parent = nullptr);
