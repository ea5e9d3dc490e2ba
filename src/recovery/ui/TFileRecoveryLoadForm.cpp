#include "recovery/ui/TFileRecoveryLoadForm.h"

#include "settings/Messages.h"
#include "settings/ui/LanguageForms.h"
#include "periphery/TAnimatedProgressBar.h"
#include "periphery/THelpWindow.h"
#include "settings/Settings.h"
#include "util/TUserPrompt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

TFileRecoveryLoadForm::TFileRecoveryLoadForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FileRecoveryLoadForm"));
    setWindowTitle(QStringLiteral("Loading file list... "));
    setProperty("HelpKeyword", QString::fromLatin1(HelpKeyword));
    // Shown without a loop of its own, but it still blocks input to the other windows:
    // the main window must not close or replace the drive whose elements are being added.
    setWindowModality(Qt::ApplicationModal);

    Step1Label = new QLabel(QStringLiteral("Please wait..."), this);
    Step1Label->setObjectName(QStringLiteral("Step1Label"));

    Step1ProgressBar = new TAnimatedProgressBar(this);
    Step1ProgressBar->setObjectName(QStringLiteral("Step1ProgressBar"));
    Step1ProgressBar->setMaximumHeight(16);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Names come from the disk: never let one be read as markup.
    Label1->setTextFormat(Qt::PlainText);
    // The name being added never widens the window.
    Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 4);
    layout->setSpacing(3);
    layout->addWidget(Step1Label);
    layout->addWidget(Step1ProgressBar);
    layout->addWidget(Label1);
    layout->addWidget(ButtonCancel, 0, Qt::AlignHCenter);
    resize(305, 93);
    layout->activate();
    connect(ButtonCancel, &QPushButton::clicked, this, &TFileRecoveryLoadForm::ButtonCancelClick);

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this,
            [this] { ShowHelpPage(QString::fromLatin1(HelpKeyword), this); });

    FormCreate();
    // The chosen language replaces the built-in texts.
    UpdateLanguage(this);
}

void TFileRecoveryLoadForm::FormCreate()
{
    StopLoad = false;
    Step1ProgressBar->Stop();
    Label1->clear();
    hide();
}

void TFileRecoveryLoadForm::ButtonCancelClick()
{
    close();
}

void TFileRecoveryLoadForm::FormClose()
{
    if (GlobalConfirmInterrupt &&
        TUserPrompt::Current().Ask(Messages::StopLoadQuestion.Text(), Messages::Confirmation.Text(),
                                   TUserPrompt::Buttons::OkCancel,
                                   TUserPrompt::Icon::Question) != TUserPrompt::Answer::Ok)
        return;
    StopLoad = true;
    hide();
}

void TFileRecoveryLoadForm::reject()
{
    FormClose();
}

void TFileRecoveryLoadForm::closeEvent(QCloseEvent* event)
{
    // The window is never closed, only hidden; its owner frees it.
    event->ignore();
    FormClose();
}

void TFileRecoveryLoadForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Step1ProgressBar->Start();
}

void TFileRecoveryLoadForm::hideEvent(QHideEvent* event)
{
    Step1ProgressBar->Stop();
    QDialog::hideEvent(event);
}

bool TFileRecoveryLoadForm::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowDeactivate && isVisible()) {
        // Taken back once the activation change is complete.
        QPointer<TFileRecoveryLoadForm> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self)
                self->takeActivationBack();
        });
    }
    return handled;
}

void TFileRecoveryLoadForm::takeActivationBack()
{
    if (!isVisible() || isActiveWindow())
        return;
    // The stop confirmation must keep the activation to be answered.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this)
        return;
    raise();
    activateWindow();
    ButtonCancel->setFocus();
}
