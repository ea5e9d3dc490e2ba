#include "periphery/TImageLists.h"

#include "support/TestApp.h"
#include "support/TTempDir.h"

#include <QDir>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

QImage iconImage(const QIcon& icon, int size, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

void writeSquare(const QString& path, int size, QColor color)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(path, "PNG"));
}

class ImageListsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testApp(); }
    void TearDown() override { TImageLists::LoadApplicationImages(); }
};

} // namespace

TEST_F(ImageListsTest, BuiltInImagesFillEveryListWithItsCountAndSize)
{
    ASSERT_TRUE(TImageLists::LoadApplicationImages());

    struct Expect
    {
        const QList<QIcon>* list;
        int count;
        int size;
    };
    const Expect lists[] = {
        {&TImageLists::ToolbarImages(), 11, 24},     {&TImageLists::ToolbarImagesDisabled(), 11, 24},
        {&TImageLists::ToolbarImagesHot(), 11, 24},  {&TImageLists::MenuImages(), 6, 16},
        {&TImageLists::MenuImagesDisabled(), 6, 16}, {&TImageLists::FileImages(), 11, 16},
        {&TImageLists::FileImagesLarge(), 11, 32},   {&TImageLists::ExImages(), 1, 20},
        {&TImageLists::ExImagesDisabled(), 1, 20},   {&TImageLists::ExImagesHot(), 1, 20},
    };
    for (const Expect& e : lists) {
        ASSERT_EQ(e.list->size(), e.count);
        for (const QIcon& icon : *e.list) {
            ASSERT_FALSE(icon.isNull());
            EXPECT_TRUE(icon.availableSizes().contains(QSize(e.size, e.size)))
                << "expected " << e.size << " px, have " << icon.availableSizes().size() << " sizes";
        }
    }

    // Loading again (a display change) gives the same lists, not doubled ones.
    ASSERT_TRUE(TImageLists::LoadApplicationImages());
    EXPECT_EQ(TImageLists::ToolbarImages().size(), 11);
    EXPECT_EQ(TImageLists::FileImagesLarge().size(), 11);
}

TEST_F(ImageListsTest, FileImagesKeepDeletedAndLiveEntriesApart)
{
    ASSERT_TRUE(TImageLists::LoadApplicationImages());
    const QList<QIcon>& files = TImageLists::FileImages();
    using L = TImageLists;
    // Each role must look different from the others it could be confused with.
    const std::pair<int, int> distinct[] = {
        {L::fiFolder, L::fiDeletedFolder},
        {L::fiFolder, L::fiFolderWithDeleted},
        {L::fiDeletedFolder, L::fiFolderWithDeleted},
        {L::fiFile, L::fiDeletedFile},
        {L::fiSortAscending, L::fiSortDescending},
        {L::fiFolderTree, L::fiDeletedFolderTree},
        {L::fiFolderTree, L::fiFolderWithDeletedTree},
    };
    for (const auto& [a, b] : distinct) {
        EXPECT_NE(iconImage(files.at(a), 16), iconImage(files.at(b), 16)) << a << " vs " << b;
        EXPECT_NE(iconImage(TImageLists::FileImagesLarge().at(a), 32),
                  iconImage(TImageLists::FileImagesLarge().at(b), 32))
            << a << " vs " << b << " (large)";
    }
    EXPECT_TRUE(TImageLists::FileIcon(-1).isNull());
    EXPECT_TRUE(TImageLists::FileIcon(11).isNull());
    EXPECT_FALSE(TImageLists::FileIcon(10, true).isNull());
}

TEST_F(ImageListsTest, DerivedImagesAreGreyedOrBrightenedAndCarriedByTheMainIcon)
{
    QImage colour(4, 4, QImage::Format_ARGB32);
    colour.fill(QColor(200, 40, 40));
    const QImage disabled = TImageLists::RenderDisabled(colour).convertToFormat(QImage::Format_ARGB32);
    const QImage hot = TImageLists::RenderHot(colour).convertToFormat(QImage::Format_ARGB32);
    const QRgb d = disabled.pixel(1, 1);
    EXPECT_EQ(qRed(d), qGreen(d));
    EXPECT_EQ(qGreen(d), qBlue(d));
    EXPECT_LT(qAlpha(d), 255);
    const QRgb h = hot.pixel(1, 1);
    EXPECT_GT(qRed(h), 200);
    EXPECT_GT(qGreen(h), 40);
    EXPECT_EQ(qAlpha(h), 255);
    // Fully transparent pixels stay transparent.
    QImage clear(2, 2, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_EQ(qAlpha(TImageLists::RenderHot(clear).pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(TImageLists::RenderDisabled(clear).pixel(0, 0)), 0);

    ASSERT_TRUE(TImageLists::LoadApplicationImages());
    const QIcon& open = TImageLists::ToolbarImages().at(0);
    EXPECT_EQ(iconImage(open, 24, QIcon::Disabled),
              iconImage(TImageLists::ToolbarImagesDisabled().at(0), 24));
    EXPECT_EQ(iconImage(open, 24, QIcon::Active), iconImage(TImageLists::ToolbarImagesHot().at(0), 24));
    EXPECT_NE(iconImage(open, 24, QIcon::Normal), iconImage(open, 24, QIcon::Disabled));
}

TEST_F(ImageListsTest, MissingIconsFailAndNumberingStopsAtTheFirstGap)
{
    TTempDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(TImageLists::LoadApplicationImagesFrom(dir.path()));
    EXPECT_TRUE(TImageLists::ToolbarImages().isEmpty());
    EXPECT_TRUE(TImageLists::FileImages().isEmpty());

    // Icons 0, 1 and 3: the list takes 0 and 1. Pictures of the wrong size are
    // scaled to the list's size; without a 32/ folder the large list is scaled up.
    for (int i : {0, 1, 3})
        writeSquare(dir.filePath(QStringLiteral("ICON_MainImageList_%1.png").arg(i)), 48, Qt::blue);
    writeSquare(dir.filePath(QStringLiteral("ICON_MainMenuImageList_0.png")), 16, Qt::red);
    writeSquare(dir.filePath(QStringLiteral("ICON_FilesImageList_0.png")), 16, Qt::green);
    writeSquare(dir.filePath(QStringLiteral("ICON_ExImageList_0.png")), 20, Qt::yellow);
    ASSERT_TRUE(TImageLists::LoadApplicationImagesFrom(dir.path()));
    EXPECT_EQ(TImageLists::ToolbarImages().size(), 2);
    EXPECT_EQ(TImageLists::ToolbarImagesHot().size(), 2);
    EXPECT_EQ(TImageLists::ToolbarImages().at(0).availableSizes(), QList<QSize>{QSize(24, 24)});
    ASSERT_EQ(TImageLists::FileImagesLarge().size(), 1);
    EXPECT_TRUE(TImageLists::FileImagesLarge().at(0).availableSizes().contains(QSize(32, 32)));

    // One list empty is enough to fail.
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("ICON_ExImageList_0.png"))));
    EXPECT_FALSE(TImageLists::LoadApplicationImagesFrom(dir.path()));
}
