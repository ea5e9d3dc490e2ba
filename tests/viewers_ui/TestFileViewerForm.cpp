#include "mainwindow_ui/TMainFormFixture.h"
#include "viewers/TMemoryByteSource.h"
#include "viewers/ui/THexDump.h"
#include "viewers/ui/TFileViewerForm.h"
#include "viewers/ui/TPictureLoader.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>

#include <functional>

// The viewer opened from the main window's commands on a file of drive D:, its content
// given by a source in memory.

namespace {

class ViewerTest : public MainFormTest
{
protected:
    // Selects a file of Docs in the list and runs a viewer command on it.
    void view(const char* command, int64_t file, const std::function<void(TFileViewerForm&)>& body)
    {
        if (!CurDisk)
            openDrive();
        QApplication::setActiveWindow(form.get());
        clickNode(0);
        clickNode(Docs);
        list()->SetFocus();
        list()->SelectOnly(model()->RowOf(element(file)));
        form->CheckState();
        ASSERT_TRUE(action(command)->isEnabled()) << command;
        const TFileViewerForm::TSourceFactory::Scope content([this](TBaseElement* e) {
            opened = e;
            return std::make_shared<TMemoryByteSource>(bytes.constData(), int32_t(bytes.size()));
        });
        const TFileViewerForm::TModalAnswer::Scope driven([&](TFileViewerForm& viewer) {
            viewer.show();
            body(viewer);
        });
        action(command)->trigger();
    }
    static QByteArray png(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return out;
    }

    QByteArray bytes;
    TBaseElement* opened = nullptr;
};

} // namespace

TEST_F(ViewerTest, HexAndTextShowTheFileAndTheStatusFollowsTheCurrentLine)
{
    bytes = QByteArray("Hello, found file\n") + QByteArray(4000, 'z');
    view("actFileViewAsHex", Report, [&](TFileViewerForm& viewer) {
        EXPECT_EQ(viewer.windowTitle(), QStringLiteral("report.doc File Viewer"));
        EXPECT_EQ(viewer.Notebook->currentIndex(), TFileViewerForm::pgHEX);
        EXPECT_TRUE(viewer.HexDump->Active());
        EXPECT_EQ(viewer.HexDump->Layout().LineData(0, *viewer.HexDump->Source()).left(2),
                  QStringLiteral("48"));
        EXPECT_TRUE(viewer.StatusText().startsWith(QStringLiteral("4,018 bytes   Offset 00000000")));
        viewer.HexDump->setFocus();
        QTest::keyClick(viewer.HexDump, Qt::Key_Down);
        EXPECT_TRUE(viewer.StatusText().contains(
            QStringLiteral("Offset %1")
                .arg(viewer.HexDump->Layout().BytesPerLine(), 8, 16, QLatin1Char('0'))));

        viewer.miViewText->trigger();
        EXPECT_EQ(viewer.Notebook->currentIndex(), TFileViewerForm::pgText);
        EXPECT_TRUE(viewer.TextView->toPlainText().startsWith(QStringLiteral("Hello, found file\nzzz")));
        EXPECT_FALSE(viewer.TextNextButton->isVisible()) << "one page needs no paging";

        // As it is, a file that is no picture reads as text.
        viewer.miViewAsIs->trigger();
        EXPECT_EQ(viewer.Notebook->currentIndex(), TFileViewerForm::pgText);
    });
    EXPECT_EQ(opened, element(Report));
}

TEST_F(ViewerTest, PicturesShowAsTheyAreAndADamagedOneSaysSo)
{
    bytes = png(64, 48);
    view("actFileView", Report, [&](TFileViewerForm& viewer) {
        EXPECT_EQ(viewer.Notebook->currentIndex(), TFileViewerForm::pgNative);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !viewer.PictureLabel->pixmap().isNull(); }));
        EXPECT_EQ(viewer.PictureLabel->pixmap().size(), QSize(64, 48));
    });

    // The same picture cut short: a message instead of a picture, and no hang.
    bytes = png(640, 480).left(200);
    bytes.append(QByteArray(300, '\xAB'));
    view("actFileView", Old, [&](TFileViewerForm& viewer) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return viewer.PictureLabel->text().startsWith(QStringLiteral("The picture")); }));
        EXPECT_TRUE(viewer.PictureLabel->pixmap().isNull());
    });

    // A picture whose header claims 20000 x 20000 pixels is refused before any memory goes to it.
    QByteArray bmp("BM");
    auto le32 = [&bmp](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp.append(char(v >> (8 * i)));
    };
    le32(54 + 16), le32(0), le32(54), le32(40), le32(20000), le32(20000);
    bmp.append("\x01\x00\x18\x00", 4);
    for (int i = 0; i < 6; ++i)
        le32(0);
    bmp.append(QByteArray(16, '\0'));
    QString reason;
    EXPECT_TRUE(TPictureLoader::LooksLikePicture(bmp));
    EXPECT_TRUE(TPictureLoader::Decode(bmp, reason).isNull());
    EXPECT_FALSE(reason.isEmpty());
}
