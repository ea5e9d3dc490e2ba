#pragma once

#include <QWidget>

class QSplitter;

// The tips panel below the file list. It shares a splitter with the list and keeps its
// height within reason while the user drags the splitter; hidden, it is one pixel high
// and remembers the height to come back to.
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

private:
    QSplitter* m_splitter;
    int m_height;
    int m_remembered;  // while hidden: the height it had
    int m_lastDragged; // the last height a splitter drag was allowed to leave
};
