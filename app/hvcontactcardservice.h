// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef HVCONTACTCARDSERVICE_H
#define HVCONTACTCARDSERVICE_H

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtDBus/QDBusContext>

QT_BEGIN_NAMESPACE
class QQuickWindow;
QT_END_NAMESPACE

/*!
 * The app's end of the contact-card call (org.halvane.ContactCard.Show), the
 * call that asks for a contact's card when it has several numbers to choose
 * from. The window's showContactCard(id, vcard) opens the card page and
 * returns an empty text, or why the card cannot be shown; the caller then gets
 * the error "org.halvane.ContactCard.Error.InvalidCard".
 */
class HVContactCardService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.halvane.ContactCard")

public:
    explicit HVContactCardService(QQuickWindow *window, QObject *parent = nullptr);
    ~HVContactCardService() override;

    // Exports the object and takes the name on the session bus; false (with a
    // warning) when there is no bus or another program answers the call.
    bool registerOnBus();

public Q_SLOTS:
    void Show(const QString &id, const QString &vcard);

private:
    QPointer<QQuickWindow> m_window;
    bool m_registered = false;
};

#endif // HVCONTACTCARDSERVICE_H
