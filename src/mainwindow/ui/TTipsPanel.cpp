#include "mainwindow/ui/TTipsPanel.h"

#include "mainwindow/TMainViewRules.h"

#include <QSplitter>

#include <algorithm>

TTipsPanel::TTipsPanel(QSplitter* splitter, QWidget* above)
    : QWidget(splitter), m_splitter(splitter), m_height(TMainViewRules::TipsDefaultHeight),
      m_remembered(TMainViewRules::TipsDefaultHeight), m_lastDragged(TMainViewRules::TipsDefaultHeight)
{
    setObjectName(QStringLiteral("TipsPanel"));
    setMinimumHeight(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    m_splitter->setObjectName(QStringLiteral("TipsSplitter"));
    m_splitter->setHandleWidth(4);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(above);
    m_splitter->addWidget(this);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({400, m_height});
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        const QList<int> sizes = m_splitter->sizes();
        const int height = sizes.value(1);
        if (!TMainViewRules::TipsHeightAllowed(height)) {
            m_splitter->setSizes({sizes.value(0) + height - m_lastDragged, m_lastDragged});
        } else {
            m_lastDragged = height;
            m_height = height;
        }
    });
}

void TTipsPanel::SetHeight(int height)
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = std::max(sizes.value(0) + sizes.value(1), height + 1);
    m_splitter->setSizes({total - height, height});
    m_height = height;
    if (TMainViewRules::TipsHeightAllowed(height))
        m_lastDragged = height;
}

bool TTipsPanel::Toggle()
{
    if (m_height == 1) {
        SetHeight(TMainViewRules::TipsRestoredHeight(m_remembered));
        m_splitter->setHandleWidth(4);
    } else {
        m_remembered = m_height;
        SetHeight(1);
        m_splitter->setHandleWidth(1);
    }
    return m_height > 1;
}
