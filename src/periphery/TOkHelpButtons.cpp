#include "periphery/TOkHelpButtons.h"

#include "periphery/THelpWindow.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TOkHelpButtons::TOkHelpButtons(QDialog* dialog, QWidget* content, const char* helpKeyword)
{
    Ok = new QPushButton(QStringLiteral("&OK"), dialog);
    Ok->setObjectName(QStringLiteral("Button1"));
    Ok->setDefault(true);
    QObject::connect(Ok, &QPushButton::clicked, dialog, &QDialog::accept);
    Help = new QPushButton(QStringLiteral("&Help"), dialog);
    Help->setObjectName(QStringLiteral("Button3"));
    Help->setAutoDefault(false);
    const QString page = QLatin1String(helpKeyword);
    QObject::connect(Help, &QPushButton::clicked, dialog, [dialog, page] { ShowHelpPage(page, dialog); });

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(Ok);
    buttons->addWidget(Help);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(content);
    layout->addLayout(buttons);
}
