#pragma once

#include <QWidget>

class QLabel;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTextEdit;
class QToolButton;

// The tips panel below the file list: the tip on show (GlobalLastTip), links to the next
// and previous tip, a close button and a pop-up menu. The tip texts are the lines of the
// hidden TipsMemo, so a language file replaces them like any other text. The panel shares
// a splitter with the list and keeps its height within reason while the user drags the
// splitter; hidden, it is one pixel high and remembers the height to come back to.
class TTipsPanel : public QWidget
{
    Q_OBJECT

public:
    // Places the panel under `above` in the splitter, which it then watches.
    TTipsPanel(QSplitter* splitter, QWidget* above);

    // The panel's height; 1 while it is hidden.
    int Height() const { return m_height; }
    void SetHeight(int height);
    // Hides a shown panel, shows a hidden one; true when it is shown afterwards.
    bool Toggle();
    // The height a hidden panel comes back with.
    int RememberedHeight() const { return m_remembered; }
    void SetRememberedHeight(int height) { m_remembered = height; }

    // Shows tip GlobalLastTip, which becomes 0 when it is outside the list.
    void UpdateTips();
    void TipsMenuNextClick();
    void TipsMenuPreviousClick();
    void TipsMenuMoreInformationClick();
    // Help page of the tip on show; empty when it has none.
    const QString& TipMoreInfoPage() const { return m_moreInfoPage; }
    // The tip text on show.
    QString TipText() const;
    QMenu* PopupMenu() const { return m_popup; }

signals:
    // "Close Tips Panel" and the close button.
    void CloseClicked();
    void HelpContentsClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildContent();
    QLabel* makeLink(const char* name, const QString& text);

    QSplitter* m_splitter;
    int m_height;
    int m_remembered;  // while hidden: the height it had
    int m_lastDragged; // the last height a splitter drag was allowed to leave
    QString m_moreInfoPage;
    QPlainTextEdit* m_memo = nullptr;
    QTextEdit* m_text = nullptr;
    QLabel* m_next = nullptr;
    QLabel* m_prev = nullptr;
    QToolButton* m_close = nullptr;
    QMenu* m_popup = nullptr;
    QAction* m_moreInfo = nullptr;
};
