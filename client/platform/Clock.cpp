#include "Clock.h"

namespace {
qint64 offsetMs = 0;
}

namespace Clock {

QDateTime now()
{
    return QDateTime::currentDateTime().addMSecs(offsetMs);
}

qint64 wholeSecondsSince(const QDateTime &start)
{
    return now().toSecsSinceEpoch() - start.toSecsSinceEpoch();
}

void advance(qint64 milliseconds)
{
    offsetMs += milliseconds;
}

void reset()
{
    offsetMs = 0;
}

} // namespace Clock
