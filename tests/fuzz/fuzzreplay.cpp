// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// Runs every file of a fuzz target's corpus through its entry point once, so
// that the seeds and the inputs that once failed are checked by every build,
// with or without libFuzzer.
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    // Arguments name files or directories; by default the target's corpus.
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths.append(QFile::decodeName(argv[i]));
    if (paths.isEmpty())
        paths.append(QStringLiteral(HALVANE_FUZZ_CORPUS));

    QFileInfoList files;
    for (const QString &path : qAsConst(paths)) {
        const QFileInfo info(path);
        if (info.isDir())
            files += QDir(path).entryInfoList(QDir::Files, QDir::Name);
        else
            files.append(info);
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "fuzzreplay: no inputs in %s\n", qPrintable(paths.join(QLatin1Char(' '))));
        return 1;
    }

    for (const QFileInfo &file : qAsConst(files)) {
        QFile input(file.filePath());
        if (!input.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "fuzzreplay: cannot read %s\n", qPrintable(file.filePath()));
            return 1;
        }
        const QByteArray data = input.readAll();
        std::fprintf(stderr, "fuzzreplay: %s (%d bytes)\n", qPrintable(file.fileName()), int(data.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
    }
    std::printf("fuzzreplay: %d inputs passed\n", int(files.size()));
    // Qt's helper threads (the network bearer's) stop with the application
    // object; the targets keep theirs for the whole run, and left alive into
    // the static destructors at exit a thread now and then crashed there.
    delete QCoreApplication::instance();
    return 0;
}
