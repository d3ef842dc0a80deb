#include "qmailmessageid.h"

QDebug operator<<(QDebug debug, const QMailMessageId &id)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "QMailMessageId(" << id.toULongLong() << ')';
    return debug;
}
