#pragma once

#include <QElapsedTimer>

// Lets pending interface events run from inside a long loop, at most about
// every 15 ms, so that a window stays responsive without a cost per step.
// Does nothing when no application object exists.
class EventPump
{
public:
    EventPump();
    void tick()
    {
        if (m_clock.isValid() && m_clock.elapsed() >= IntervalMs)
            pump();
    }

private:
    static constexpr qint64 IntervalMs = 15;
    void pump();
    QElapsedTimer m_clock;
};
