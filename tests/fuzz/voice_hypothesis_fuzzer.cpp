// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The voice plug-in's command matcher: the input is what the recogniser may
// hand over as a final hypothesis. The first byte picks the screen shown and
// the second the reader's state (both also out of range: the user interface
// may send any value); the rest is the hypothesis, as its C string.
#include <QtCore/QLibrary>
#include <QtCore/QPluginLoader>

#include <cstdint>
#include <cstring>

#include "fuzzsupport.h"
#include "hvvoice.h"
#include "hvvoiceplugininterface.h"

using namespace Halvane;

namespace {

struct Matcher {
    HVVoice *voice = nullptr;
    void (*callback)(char *) = nullptr;
    QList<int> heard;
};

Matcher &matcher()
{
    static Matcher *m = nullptr;
    if (!m) {
        HVFuzz::application();
        m = new Matcher;
        // Loaded as the voice manager loads it, so that the fuzzer drives the
        // plug-in's own entry point.
        QPluginLoader loader(QStringLiteral(HALVANE_FUZZ_SPHINX_PLUGIN));
        auto *plugin = qobject_cast<HVVoicePluginInterface *>(loader.instance());
        if (!plugin || !(m->voice = plugin->voicePlugin())) {
            fprintf(stderr, "cannot load %s: %s\n", HALVANE_FUZZ_SPHINX_PLUGIN, qPrintable(loader.errorString()));
            abort();
        }
        m->callback = reinterpret_cast<void (*)(char *)>(
            QLibrary(QStringLiteral(HALVANE_FUZZ_SPHINX_PLUGIN)).resolve("voiceRegn_Callback"));
        if (!m->callback)
            abort();
        QObject::connect(m->voice, &HVVoice::commandReceived, [](VoiceCommand command) {
            matcher().heard.append(command);
        });
    }
    return *m;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    Matcher &m = matcher();
    m.voice->slotWindowPosition(HVVoice::VPWndPosition(int8_t(data[0]) % 8));
    m.voice->slotSpeechStatus(HVVoice::VWSpeechStatus(int8_t(data[1]) % 10));

    QByteArray hypothesis(reinterpret_cast<const char *>(data) + 2, int(size - 2));
    m.heard.clear();
    m.callback(hypothesis.data());
    // The command crosses from the recogniser's thread as a queued call.
    QCoreApplication::sendPostedEvents();

    // The first accepted word wins: one command at most, and a known one.
    if (m.heard.size() > 1 || (m.heard.size() == 1 && (m.heard.first() < VCMain || m.heard.first() > VCCall)))
        abort();
    // Commands are spelt in capitals: a hypothesis without any letter A-Z has none.
    if (!m.heard.isEmpty() && std::strpbrk(hypothesis.constData(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ") == nullptr)
        abort();
    return 0;
}
