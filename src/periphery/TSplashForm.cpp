#include "periphery/TSplashForm.h"

#include "util/Utils.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    Q_INIT_RESOURCE(periphery_icons);
    if (VerInfoProductName.isEmpty())
        ReadVerInfo();
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(SplashWidth, SplashHeight);
    setWindowOpacity(200.0 / 255.0);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setObjectName(QStringLiteral("CloseTimer"));
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(CloseDelayMs);
    connect(m_closeTimer, &QTimer::timeout, this, &TSplashForm::CloseTimerTimer);
}

TSplashForm* TSplashForm::ShowSplash()
{
    auto* splash = new TSplashForm();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        splash->move(area.center() - QPoint(SplashWidth / 2, SplashHeight / 2));
    }
    splash->show();
    splash->raise();
    splash->repaint();
    splash->m_closeTimer->start();
    return splash;
}

void TSplashForm::CloseTimerTimer()
{
    m_closeTimer->stop();
    close();
}

void TSplashForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    // A thin frame and a band of colour at the top.
    p.fillRect(QRect(0, 0, width(), 6), QColor(32, 74, 135));
    p.setPen(QColor(186, 189, 182));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    const QPixmap drive(QStringLiteral(":/icons/splash_drive.png"));
    p.drawPixmap(QRect((width() - 128) / 2, 50, 128, 128), drive);

    QFont title = font();
    title.setPointSizeF(18);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(32, 74, 135));
    p.drawText(QRect(0, 196, width(), 36), Qt::AlignCenter, VerInfoProductName);

    QFont normal = font();
    normal.setPointSizeF(10);
    p.setFont(normal);
    p.setPen(QColor(46, 52, 54));
    p.drawText(QRect(0, 234, width(), 22), Qt::AlignCenter, QStringLiteral("Version ") + VerInfoFileVersion);
    p.drawText(QRect(20, 262, width() - 40, 44), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Finds and recovers deleted files on FAT, exFAT and NTFS drives"));

    QFont notice = font();
    notice.setPointSizeF(8);
    p.setFont(notice);
    p.setPen(QColor(85, 87, 83));
    p.drawText(QRect(16, height() - 70, width() - 32, 56), Qt::AlignCenter | Qt::TextWordWrap,
               VerInfoCopyright + QLatin1Char('\n') + VerInfoTrademark);
}
