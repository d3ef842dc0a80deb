#include "qmailmessagepart.h"

QMailMessagePart::QMailMessagePart(const QSharedPointer<KMime::Message> &root, KMime::Content *content)
    : QMailMessagePartContainer(root, content)
{
}
