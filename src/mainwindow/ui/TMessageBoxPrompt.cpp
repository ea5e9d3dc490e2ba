#include "mainwindow/ui/TMessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

TUserPrompt::Answer TMessageBoxPrompt::Ask(const QString& text, const QString& caption, Buttons buttons,
                                           Icon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    case Icon::Question:
        boxIcon = QMessageBox::Question;
        break;
    }

    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::Ok:
        break;
    case Buttons::OkCancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        standard = QMessageBox::Yes | QMessageBox::No;
        defaultButton = QMessageBox::Yes;
        break;
    case Buttons::YesNoCancel:
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        defaultButton = QMessageBox::Yes;
        break;
    }

    // The box lives on the heap: a window that closes itself meanwhile (the splash
    // window) may take its children with it.
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    if (parent && parent->windowType() == Qt::SplashScreen)
        parent = nullptr;
    QPointer<QMessageBox> box = new QMessageBox(boxIcon, caption, text, standard, parent);
    box->setDefaultButton(defaultButton);
    const int chosen = box->exec();
    delete box.data();
    switch (chosen) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Closing the box with Esc or the title bar picks the safe answer.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}
