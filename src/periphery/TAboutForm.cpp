#include "periphery/TAboutForm.h"

#include "settings/ui/LanguageForms.h"
#include "util/Utils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

void ensureVersionStrings()
{
    if (VerInfoProductName.isEmpty())
        ReadVerInfo();
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    Q_INIT_RESOURCE(periphery_icons);
    ensureVersionStrings();
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About ") + VerInfoProductName);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("AboutImage"));
    picture->setPixmap(QPixmap(QStringLiteral(":/icons/splash_drive.png"))
                           .scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    ProductNameLabel = new QLabel(VerInfoProductName, this);
    ProductNameLabel->setObjectName(QStringLiteral("ProductNameLabel"));
    QFont big = ProductNameLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    ProductNameLabel->setFont(big);

    VersionLabel = new QLabel(VersionText(), this);
    VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
    VersionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* description =
        new QLabel(QStringLiteral("Finds deleted files and folders on FAT, exFAT and NTFS drives "
                                  "and disk images and copies them to a safe place. The drive "
                                  "being examined is only ever read."),
                   this);
    description->setObjectName(QStringLiteral("DescriptionLabel"));
    description->setWordWrap(true);

    CopyrightLabel = new QLabel(VerInfoCopyright, this);
    CopyrightLabel->setObjectName(QStringLiteral("CopyrightLabel"));
    TrademarkLabel = new QLabel(VerInfoTrademark, this);
    TrademarkLabel->setObjectName(QStringLiteral("TrademarkLabel"));
    TrademarkLabel->setVisible(!VerInfoTrademark.isEmpty());

    auto* iconsNote = new QLabel(QStringLiteral("Icons from the public-domain Tango icon library."), this);
    iconsNote->setObjectName(QStringLiteral("IconsLabel"));
    QFont small = iconsNote->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    iconsNote->setFont(small);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout();
    texts->addWidget(ProductNameLabel);
    texts->addWidget(VersionLabel);
    texts->addSpacing(8);
    texts->addWidget(description);
    texts->addSpacing(8);
    texts->addWidget(CopyrightLabel);
    texts->addWidget(TrademarkLabel);
    texts->addWidget(iconsNote);
    texts->addStretch();

    auto* top = new QHBoxLayout();
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(OkButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    UpdateLanguage(this);
    resize(440, sizeHint().height());
}

QString TAboutForm::VersionText()
{
    ensureVersionStrings();
    QString text = QStringLiteral("Version ") + VerInfoFileVersion;
    if (!VerInfoFileVersionBuild.isEmpty() && VerInfoFileVersionBuild != VerInfoFileVersion)
        text += QStringLiteral(" (build ") + VerInfoFileVersionBuild + QLatin1Char(')');
    return text;
}

void ShowAboutBox(QWidget* parent)
{
    TAboutForm form(parent);
    form.exec();
}
