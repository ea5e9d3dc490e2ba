#include "recovery/ui/TWizardTreeBuilder.h"

#include "disk/TBaseElement.h"
#include "disk/TElementsList.h"
#include "recovery/TCheckTreeFiller.h"
#include "recovery/ui/TFileRecoveryLoadForm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>

void TWizardTreeBuilder::AddElements(const TElementsList& elements)
{
    for (TBaseElement* element : elements) {
        if (element && !TCheckTreeFiller::AddElement(
                           m_tree, -1, element, [this](const TBaseElement* e) { return next(e); },
                           [this](const TBaseElement*) { folderDone(); }))
            return;
    }
}

bool TWizardTreeBuilder::next(const TBaseElement* element)
{
    ++m_addedCounter;
    // Letting messages run after every element would cost more than the filling itself
    // on large selections; every ~30 ms keeps the window alive and Cancel prompt.
    if (m_pumpThrottle.Due()) {
        m_load.Label1->setText(element->GetName());
        // Until the loading window blocks the other windows, user input waits: a command
        // of the main window could free the elements being added.
        QCoreApplication::processEvents(m_load.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
    }
    return !m_load.StopLoad;
}

void TWizardTreeBuilder::folderDone()
{
    if (m_addedCounter > 100 && !m_load.isVisible()) {
        m_load.show();
        m_load.repaint();
    }
}
