#include "EventPump.h"

#include <QCoreApplication>

EventPump::EventPump()
{
    if (QCoreApplication::instance())
        m_clock.start();
}

void EventPump::pump()
{
    QCoreApplication::processEvents();
    m_clock.restart();
}
