#pragma once

#include "util/TOverride.h"
#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The modal window in which the user picks the drive to analyse: a tree of the
// engine's devices and their logical drives, the chosen drive's information, and the
// scan method. Disk images can be added to the list from here.
class TDiskSelectForm : public QDialog
{
    Q_OBJECT

public:
    // Asks for an image file; returns its path or an empty text when the user cancels.
    using TImageFileChooser = std::function<QString(QWidget* parent)>;

    explicit TDiskSelectForm(QWidget* parent = nullptr);
    ~TDiskSelectForm() override;

    // Engine id of the drive whose information is shown; -1 when none.
    int32_t SelectedId = -1;

    // Answers in place of the file dialog of "Add Image..." while a scope of it lasts.
    using TImageFileAnswer = TOverride<TDiskSelectForm, TImageFileChooser>;

    void FillDrivesList();
    bool ValidSelection() const;
    void CheckState();

    // Selects the first node of the list and gives the list the focus.
    void selectFirstNode();

    // Fills the list again and selects the first node, as on every activation.
    void FormActivate();

    // Registers a disk image with the engine, refills the list and selects the first
    // lettered drive of the image. Reports a refused image to the user.
    bool addImage(const QString& path);

protected:
    bool event(QEvent* e) override;

private:
    void buildControls();
    void Page1TreeViewChange();
    void Page1TreeViewDblClick();
    void ButtonNextClick();
    void ButtonBackClick();
    void ButtonAddImageClick();
    void clearInfo();
    int32_t imageDeviceId(const QString& path) const;

    QStackedWidget* m_pages = nullptr;
    QTreeWidget* m_tree = nullptr;
    QLabel* m_infoDriveId = nullptr;
    QLabel* m_infoLetter = nullptr;
    QLabel* m_infoSerial = nullptr;
    QLabel* m_infoLabel = nullptr;
    QLabel* m_infoType = nullptr;
    QLabel* m_infoFileSystem = nullptr;
    QLabel* m_infoTotalSpace = nullptr;
    QLabel* m_infoStatus = nullptr;
    QLabel* m_infoStatusCaption = nullptr;
    QLabel* m_hint = nullptr;
    QRadioButton* m_radioFast = nullptr;
    QRadioButton* m_radioFull = nullptr;
    QCheckBox* m_searchKnown = nullptr;
    QPushButton* m_buttonHelp = nullptr;
    QPushButton* m_buttonBack = nullptr;
    QPushButton* m_buttonNext = nullptr;
    QPushButton* m_buttonStart = nullptr;
    QPushButton* m_buttonClose = nullptr;
    QPushButton* m_buttonAddImage = nullptr;

    bool m_filling = false;
    // An image added while the file dialog had the activation: the activation that
    // follows selects the image's drive instead of the first node.
    QString m_pendingImagePath;

    friend int SelectDiskDrive(bool& FullScan);
};

// Runs the drive-selection window. Returns the engine id of the chosen drive, or -1
// when the window was cancelled; on OK, FullScan receives the scan-method choice.
int SelectDiskDrive(bool& FullScan);
