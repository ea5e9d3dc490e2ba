#pragma once

#include "util/TOverride.h"

#include <QByteArray>
#include <QDialog>
#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class TBaseElement;
class TByteSource;
class THexDump;
class TPictureLoader;
class TTextPager;

enum TFileViewMode
{
    fvmText = 0,
    fvmHEX = 1,
    fvmNative = 2
};

// The file viewer: a found file's content as text, as hexadecimal bytes, or as it is (a
// picture scaled to the window; other files fall back to text). Content is read in pages
// off the GUI thread, so a large file shows its first page at once and a slow or
// damaged disk never freezes the window. The status bar gives the size, the offset of
// the current hex line and, for a deleted file, how many bytes could be read.
class TFileViewerForm : public QDialog
{
    Q_OBJECT

public:
    explicit TFileViewerForm(QWidget* parent = nullptr);
    ~TFileViewerForm() override;

    // Shows element's content through source in the given mode.
    void Open(TFileViewMode mode, TBaseElement* element, std::shared_ptr<TByteSource> source);
    // Switches the view (the View menu).
    void SetViewMode(TFileViewMode mode);
    QString StatusText() const;

    enum TPage
    {
        pgText = 0,
        pgHEX = 1,
        pgNative = 2
    };

    TFileViewMode ViewMode = fvmHEX;
    THexDump* HexDump = nullptr;
    TBaseElement* Element = nullptr;
    int64_t FilePosition = 0;
    QByteArray Buffer;

    QMenuBar* MainMenu;
    QAction* miFileClose;
    QAction* miViewAsIs;
    QAction* miViewText;
    QAction* miViewHex;
    QAction* miHelpContents;
    QAction* miHelpHints;
    QStatusBar* StatusBar1;
    QFrame* Panel1;
    QStackedWidget* Notebook;
    QPlainTextEdit* TextView;
    QPushButton* TextPreviousButton;
    QPushButton* TextNextButton;
    QLabel* TextPageLabel;
    QLabel* PictureLabel;

    // The content of an element: the file read from the open drive unless a test sets
    // another source for a scope.
    using TSourceFactory =
        TOverride<TFileViewerForm, std::function<std::shared_ptr<TByteSource>(TBaseElement*)>>;
    // Drives the filled viewer in place of its modal loop while a scope of it lasts.
    using TModalAnswer = TOverride<struct TFileViewerModalTag, std::function<void(TFileViewerForm& form)>>;

    // The source for element, as OpenFileView uses it.
    static std::shared_ptr<TByteSource> SourceFor(TBaseElement* element);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showTextPage();
    void showPicture();
    void updateStatus();
    void scalePicture();

    std::shared_ptr<TByteSource> m_source;
    std::unique_ptr<TTextPager> m_pager;
    TPictureLoader* m_loader;
    QImage m_picture;
    // Whether the first bytes were looked at, and whether they are a picture's.
    bool m_pictureChecked = false;
    bool m_isPicture = false;
    QString m_problem;
    QString m_title;
};

// Opens the viewer on element in the given mode, modally; true once it was shown.
bool OpenFileView(TFileViewMode mode, TBaseElement* element, QWidget* parent = nullptr);
