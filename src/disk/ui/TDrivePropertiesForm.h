#pragma once

#include "engine/VantrelLib.h"

#include <QDialog>
#include <QList>

#include <cstdint>

class QLineEdit;
class QPushButton;
class QTabWidget;

// What the engine reports about one drive, on three pages: General, Information and
// Capabilities. Every value is a borderless read-only edit, so it can be selected and
// copied; each shows "---" until it is filled.
class TDrivePropertiesForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* HelpKeyword = "/files/howto.get-information.html";

    explicit TDrivePropertiesForm(QWidget* parent = nullptr);

    // Fills every field from the engine's record and extends the caption with the letter.
    void FillFrom(const TDriveInfo& info);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* addValue(class QFormLayout* layout, const QString& caption, const QString& name);

    QString m_title;
    QTabWidget* PageControl;
    QLineEdit* GeneralLetterEdit;
    QLineEdit* GeneralFileSystemEdit;
    QLineEdit* GeneralStatusEdit;
    QLineEdit* GeneralVolumeLabelEdit;
    QLineEdit* GeneralOEMIdEdit;
    QLineEdit* GeneralSNEdit;
    QLineEdit* GeneralTotalSpaceEdit;
    QLineEdit* GeneralFreeSpaceEdit;
    QLineEdit* InfoSectorsPerClusterEdit;
    QLineEdit* InfoBytesPerSectorEdit;
    QLineEdit* InfoBytesPerClusterEdit;
    QLineEdit* InfoOffsetInPhysicalEdit;
    QList<QLineEdit*> m_capabilityEdits;
    QPushButton* Button1;
    QPushButton* Button3;
};

// Shows the properties of the engine's drive ADiskId modally. When the engine has no
// record for the id, says so instead and returns false.
bool ShowDriveProperties(int32_t ADiskId, QWidget* parent = nullptr);
// Shows the properties of the open drive (CurDisk); does nothing without one.
void ShowDriveProperties(QWidget* parent);
