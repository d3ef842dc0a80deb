// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVGLOBALSTATIC_P_H
#define HVGLOBALSTATIC_P_H

#include <QtCore/QAtomicPointer>
#include <QtCore/QCoreApplication>

#include <cstdlib>

namespace Halvane {

/*
 * A process-wide object created on first use and destroyed at process exit (or
 * when the library is unloaded); afterwards instance() answers null.
 *
 * Creation publishes with an atomic test-and-set instead of a lock: constructing
 * these objects runs the event loop (plug-in scanning, source start-up), so the
 * same thread may ask for the object again while building it. The losing object
 * is deleted and everybody gets the published one.
 *
 * Tag tells apart globals of the same type.
 */
template <typename T, typename Tag = T>
class HVGlobalStatic
{
public:
    template <typename Create>
    static T *instance(Create create)
    {
        if (s_destroyed.loadAcquire())
            return nullptr;
        if (T *published = s_pointer.loadAcquire())
            return published;
        T *created = create();
        if (s_pointer.testAndSetOrdered(nullptr, created)) {
            // Gone with the application object when there is one: the services'
            // sources may hold Qt resources that must not outlive it. At exit
            // otherwise; registered on first use, so it runs before anything
            // registered earlier.
            if (QCoreApplication::instance())
                qAddPostRoutine(&HVGlobalStatic::destroy);
            std::atexit(&HVGlobalStatic::destroy);
            return created;
        }
        delete created;
        return s_destroyed.loadAcquire() ? nullptr : s_pointer.loadAcquire();
    }

    // The object was destroyed elsewhere: the next instance() creates another.
    static void forget(T *object) { s_pointer.testAndSetOrdered(object, nullptr); }

    static bool exists() { return s_pointer.loadAcquire() != nullptr; }
    static bool isDestroyed() { return s_destroyed.loadAcquire() != 0; }

private:
    static void destroy()
    {
        s_destroyed.storeRelease(1);
        delete s_pointer.fetchAndStoreOrdered(nullptr);
    }

    static QBasicAtomicPointer<T> s_pointer;
    static QBasicAtomicInt s_destroyed;
};

template <typename T, typename Tag>
QBasicAtomicPointer<T> HVGlobalStatic<T, Tag>::s_pointer = Q_BASIC_ATOMIC_INITIALIZER(nullptr);
template <typename T, typename Tag>
QBasicAtomicInt HVGlobalStatic<T, Tag>::s_destroyed = Q_BASIC_ATOMIC_INITIALIZER(0);

} // namespace Halvane

#endif // HVGLOBALSTATIC_P_H
