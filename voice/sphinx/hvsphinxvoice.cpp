// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvsphinxvoice.h"
#include "sphinx_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>

#include "hvsphinxvoice_p.h"
#include "voiceregn.h"

namespace Halvane {

std::atomic<HVSphinxVoice::HVSphinxVoicePrivate *> HVSphinxVoice::d{nullptr};

HVSphinxVoice::HVSphinxVoice(QObject *parent)
    : HVVoice(parent)
{
    HVSphinxVoicePrivate *priv = d.load();
    if (!priv) {
        priv = new HVSphinxVoicePrivate;
        d.store(priv);
        qAddPostRoutine(closeAtExit);
    }
    // Decoded on the streaming thread, delivered here later: a command whose
    // delivery finds stop() or pause() called since is dropped.
    connect(
        priv, &HVSphinxVoicePrivate::commandReceived, this,
        [this](VoiceCommand command) {
            if (QThread::currentThread() == thread()) {
                Q_EMIT commandReceived(command);
                return;
            }
            const int halted = d.load()->halted.load();
            QMetaObject::invokeMethod(
                this,
                [this, command, halted] {
                    if (halted == d.load()->halted.load())
                        Q_EMIT commandReceived(command);
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    connect(priv, &HVSphinxVoicePrivate::stateChanged, this, &HVSphinxVoice::recognitionStateChanged);
    connect(priv, &QThread::finished, this, &HVVoice::initializeFinished);
}

HVSphinxVoice::~HVSphinxVoice() = default;

void HVSphinxVoice::closeAtExit()
{
    // The streaming threads call into this library: they must be gone
    // before the process takes it down.
    HVSphinxVoicePrivate *priv = d.load();
    priv->wait();
    closeVoiceRegn();
    priv->state = 2;
}

int HVSphinxVoice::getCurrentState()
{
    return d.load()->state;
}

void HVSphinxVoice::initialize()
{
    HVSphinxVoicePrivate *priv = d.load();
    if (priv->isInitialised())
        return;
    priv->start(QThread::InheritPriority);
}

void HVSphinxVoice::voiceRegn_cb(char *hypothesis)
{
    if (HVSphinxVoicePrivate *priv = d.load())
        priv->voiceRegn_cb(hypothesis);
}

void HVSphinxVoice::voiceRegn_error()
{
    HVSphinxVoicePrivate *priv = d.load();
    if (!priv)
        return;
    // Stopped where the state lives; a failure while starting has already
    // made start() answer false.
    const int pipeline = priv->released.load();
    QMetaObject::invokeMethod(
        priv,
        [priv, pipeline] {
            if (priv->state == 2 || pipeline != priv->released.load())
                return;
            qWarning() << "voice recogniser stopped: its audio input failed";
            closeVoiceRegn();
            ++priv->released;
            priv->state = 2;
            Q_EMIT priv->stateChanged();
        },
        Qt::QueuedConnection);
}

void HVSphinxVoice::slotSpeechStatus(HVVoice::VWSpeechStatus status)
{
    qCDebug(HALVANE_SPHINX) << " --- ";
    qCDebug(HALVANE_SPHINX) << " ---------- HVSphinxVoicePrivate::setSpeechStatus: " << int(status);
    d.load()->setSpeechStatus(status);
}

void HVSphinxVoice::slotWindowPosition(HVVoice::VPWndPosition pos)
{
    d.load()->setWindowPosition(pos);
}

bool HVSphinxVoice::start()
{
    HVSphinxVoicePrivate *priv = d.load();
    switch (priv->state) {
    case 2: {
        if (!priv->isInitialised())
            return false;
        // stop() released the pipeline: build it again rather than touch
        // what is gone.
        const bool ok = (psPipeline.pipeline || initVoiceRegn() == 1) && startVoiceRegn() == 1;
        qCDebug(HALVANE_SPHINX) << "HVSPHINXVOICE " << (ok ? "true" : "false");
        if (ok) {
            priv->state = 0;
            Q_EMIT priv->stateChanged();
        }
        return ok;
    }
    case 1:
        if (startVoiceRegn() != 1)
            return false;
        priv->state = 0;
        Q_EMIT priv->stateChanged();
        return true;
    default:
        return false;
    }
}

bool HVSphinxVoice::pause()
{
    HVSphinxVoicePrivate *priv = d.load();
    if (priv->state != 0 || pauseVoiceRegn() != 1)
        return false;
    ++priv->halted;
    priv->state = 1;
    Q_EMIT priv->stateChanged();
    return true;
}

void HVSphinxVoice::stop()
{
    HVSphinxVoicePrivate *priv = d.load();
    if (priv->state == 2)
        return;
    closeVoiceRegn();
    ++priv->released;
    ++priv->halted;
    priv->state = 2;
    Q_EMIT priv->stateChanged();
}

} // namespace Halvane

extern "C" void voiceRegn_Callback(char *hypothesis)
{
    Halvane::HVSphinxVoice::voiceRegn_cb(hypothesis);
}

extern "C" void voiceRegn_ErrorCallback(void)
{
    Halvane::HVSphinxVoice::voiceRegn_error();
}
