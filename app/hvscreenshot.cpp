// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvscreenshot.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QImage>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickItemGrabResult>
#include <QtQuick/QQuickWindow>

#include <cstdio>

namespace Halvane {

namespace {
// The retrieval normally ends within a second; a source that hangs must not
// keep the picture from being written.
constexpr int PollInterval = 100;
constexpr int MaxPolls = 300;
} // namespace

HVScreenshot::HVScreenshot(QQuickWindow *window, const QString &fileName, int settleMilliseconds, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_fileName(fileName)
    , m_settleMilliseconds(settleMilliseconds)
{
    m_timer.setSingleShot(true);
}

void HVScreenshot::start()
{
    connect(&m_timer, &QTimer::timeout, this, &HVScreenshot::poll);
    m_timer.start(PollInterval);
}

void HVScreenshot::poll()
{
    // The window's "busy" is true while any of its models retrieves.
    if (m_window && m_window->property("busy").toBool() && ++m_polls < MaxPolls) {
        m_timer.start(PollInterval);
        return;
    }
    disconnect(&m_timer, nullptr, this, nullptr);
    connect(&m_timer, &QTimer::timeout, this, &HVScreenshot::grab);
    m_timer.start(m_settleMilliseconds);
}

void HVScreenshot::grab()
{
    // The offscreen platform's backing store gives no image to grabWindow();
    // a grab of the window's root item renders the scene itself.
    QQuickItem *root = m_window ? m_window->contentItem() : nullptr;
    QSharedPointer<QQuickItemGrabResult> result = root ? root->grabToImage() : nullptr;
    if (!result) {
        std::fprintf(stderr, "halvane: the window could not be rendered for the screenshot\n");
        QCoreApplication::exit(1);
        return;
    }
    connect(result.data(), &QQuickItemGrabResult::ready, this, [this, result] {
        int exitCode = 0;
        if (result->image().isNull() || !result->image().save(m_fileName, "PNG")) {
            std::fprintf(stderr, "halvane: cannot write the screenshot %s\n", qPrintable(m_fileName));
            exitCode = 1;
        }
        QCoreApplication::exit(exitCode);
    });
}

} // namespace Halvane
