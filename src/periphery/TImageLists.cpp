#include "periphery/TImageLists.h"

#include <QFile>
#include <QPixmap>

namespace {

struct TImageStore
{
    QList<QIcon> toolbar, toolbarDisabled, toolbarHot;
    QList<QIcon> menu, menuDisabled;
    QList<QIcon> files, filesLarge;
    QList<QIcon> ex, exDisabled, exHot;
};

TImageStore& store()
{
    static TImageStore s;
    return s;
}

// Loads prefix0.png, prefix1.png, ... up to the first missing number, each
// scaled to size x size.
QList<QImage> loadNumbered(const QString& prefix, int size)
{
    QList<QImage> images;
    for (int i = 0;; ++i) {
        const QString name = prefix + QString::number(i) + QStringLiteral(".png");
        if (!QFile::exists(name))
            break;
        QImage image(name);
        if (image.isNull())
            break;
        if (image.size() != QSize(size, size))
            image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        images.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return images;
}

QList<QIcon> plainIcons(const QList<QImage>& images)
{
    QList<QIcon> icons;
    icons.reserve(images.size());
    for (const QImage& image : images)
        icons.append(QIcon(QPixmap::fromImage(image)));
    return icons;
}

// Builds the list and its derived lists; the main icons carry the derived
// pictures as their Disabled and Active modes.
void buildDerived(const QList<QImage>& images, QList<QIcon>& main, QList<QIcon>* disabled, QList<QIcon>* hot)
{
    main.clear();
    if (disabled)
        disabled->clear();
    if (hot)
        hot->clear();
    for (const QImage& image : images) {
        QIcon icon(QPixmap::fromImage(image));
        if (disabled) {
            const QPixmap pixmap = QPixmap::fromImage(TImageLists::RenderDisabled(image));
            icon.addPixmap(pixmap, QIcon::Disabled);
            disabled->append(QIcon(pixmap));
        }
        if (hot) {
            const QPixmap pixmap = QPixmap::fromImage(TImageLists::RenderHot(image));
            icon.addPixmap(pixmap, QIcon::Active);
            hot->append(QIcon(pixmap));
        }
        main.append(icon);
    }
}

} // namespace

bool TImageLists::LoadApplicationImages()
{
    Q_INIT_RESOURCE(periphery_icons);
    return LoadApplicationImagesFrom(QStringLiteral(":/icons"));
}

bool TImageLists::LoadApplicationImagesFrom(const QString& root)
{
    TImageStore& s = store();
    const QString base = root + QLatin1Char('/');

    const QList<QImage> toolbar = loadNumbered(base + QStringLiteral("ICON_MainImageList_"), ToolbarSize);
    buildDerived(toolbar, s.toolbar, &s.toolbarDisabled, &s.toolbarHot);

    const QList<QImage> menu = loadNumbered(base + QStringLiteral("ICON_MainMenuImageList_"), MenuSize);
    buildDerived(menu, s.menu, &s.menuDisabled, nullptr);

    s.files = plainIcons(loadNumbered(base + QStringLiteral("ICON_FilesImageList_"), FileSize));

    // The large file images are drawn separately where they exist; otherwise the
    // small pictures are scaled up so that both lists always have the same roles.
    QList<QImage> large = loadNumbered(base + QStringLiteral("32/ICON_FilesImageList_"), FileLargeSize);
    if (large.isEmpty())
        large = loadNumbered(base + QStringLiteral("ICON_FilesImageList_"), FileLargeSize);
    s.filesLarge = plainIcons(large);

    const QList<QImage> ex = loadNumbered(base + QStringLiteral("ICON_ExImageList_"), ExSize);
    buildDerived(ex, s.ex, &s.exDisabled, &s.exHot);

    return !s.toolbar.isEmpty() && !s.menu.isEmpty() && !s.files.isEmpty() && !s.filesLarge.isEmpty() &&
           !s.ex.isEmpty();
}

const QList<QIcon>& TImageLists::ToolbarImages()
{
    return store().toolbar;
}

const QList<QIcon>& TImageLists::ToolbarImagesDisabled()
{
    return store().toolbarDisabled;
}

const QList<QIcon>& TImageLists::ToolbarImagesHot()
{
    return store().toolbarHot;
}

const QList<QIcon>& TImageLists::MenuImages()
{
    return store().menu;
}

const QList<QIcon>& TImageLists::MenuImagesDisabled()
{
    return store().menuDisabled;
}

const QList<QIcon>& TImageLists::FileImages()
{
    return store().files;
}

const QList<QIcon>& TImageLists::FileImagesLarge()
{
    return store().filesLarge;
}

const QList<QIcon>& TImageLists::ExImages()
{
    return store().ex;
}

const QList<QIcon>& TImageLists::ExImagesDisabled()
{
    return store().exDisabled;
}

const QList<QIcon>& TImageLists::ExImagesHot()
{
    return store().exHot;
}

QIcon TImageLists::FileIcon(int index, bool large)
{
    const QList<QIcon>& list = large ? store().filesLarge : store().files;
    if (index < 0 || index >= list.size())
        return QIcon();
    return list.at(index);
}

QImage TImageLists::RenderDisabled(const QImage& image)
{
    // Grey, lighter and half transparent, like a disabled control's picture.
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb p = line[x];
            const int g = 128 + qGray(p) / 2;
            line[x] = qRgba(g, g, g, qAlpha(p) / 2);
        }
    }
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage TImageLists::RenderHot(const QImage& image)
{
    // A little brighter, so the button under the mouse stands out.
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb p = line[x];
            auto lift = [](int c) { return c + (255 - c) / 4; };
            line[x] = qRgba(lift(qRed(p)), lift(qGreen(p)), lift(qBlue(p)), qAlpha(p));
        }
    }
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
