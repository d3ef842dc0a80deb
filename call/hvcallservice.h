#ifndef HVCALLSERVICE_H
#define HVCALLSERVICE_H

#include <QtCore/QObject>

/*
 * The phone's call service: oFono on the system bus. dial() places a cellular
 * call from the first modem that offers voice calls; it does not block, and
 * every failure (no bus, no oFono, no modem, a refused dial) is a warning.
 */
class HVCallService : public QObject
{
    Q_OBJECT

public:
    explicit HVCallService(QObject *parent = nullptr);

    void dial(const QString &number);

Q_SIGNALS:
    // The call oFono created, or the reason there is none.
    void dialed(const QString &number, const QString &callPath);
    void dialFailed(const QString &number, const QString &reason);

private:
    void fail(const QString &number, const QString &reason);
};

#endif // HVCALLSERVICE_H
