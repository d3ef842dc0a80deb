// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

// halvane-contacts on a local store in a temporary data directory.
class TestHalvaneContacts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void importListRemove();
    void badInputChangesNothing();
    void usage();

private:
    int run(const QStringList &arguments, QByteArray *out = nullptr, QByteArray *err = nullptr);
    QString writeFile(const QString &name, const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHalvaneContacts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

int TestHalvaneContacts::run(const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("HALVANE_TRACKER_SERVICE"), QString());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HVTEST_CONTACTS_PROGRAM), arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString TestHalvaneContacts::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

void TestHalvaneContacts::importListRemove()
{
    const QString vcf = writeFile(QStringLiteral("a.vcf"),
                                  "BEGIN:VCARD\nVERSION:3.0\nN:Lee;Ann;;;\nEMAIL:ann@example.org\nTEL:+4911111\n"
                                  "END:VCARD\nBEGIN:VCARD\nVERSION:3.0\nUID:b-1\nN:Moe;Bob;;;\n"
                                  "EMAIL:bob@example.org\nEMAIL:bob@work.example\nEND:VCARD\n");
    QCOMPARE(run({QStringLiteral("import"), vcf}), 0);
    // Importing again updates: still two contacts.
    QCOMPARE(run({QStringLiteral("import"), vcf}), 0);
    QByteArray out;
    QCOMPARE(run({QStringLiteral("list")}, &out), 0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).contains("Ann Lee\tann@example.org\t+4911111"));
    QVERIFY(lines.at(1).contains("Bob Moe\t"));
    QVERIFY(lines.at(1).contains("bob@work.example"));

    const QByteArray bobId = lines.at(1).split('\t').first();
    QCOMPARE(run({QStringLiteral("remove"), QString::fromUtf8(bobId)}), 0);
    QCOMPARE(run({QStringLiteral("list")}, &out), 0);
    QCOMPARE(out.trimmed().split('\n').size(), 1);
    QByteArray err;
    QCOMPARE(run({QStringLiteral("remove"), QString::fromUtf8(bobId)}, nullptr, &err), 1);
    QVERIFY(err.contains("no contact"));

    // Cards known by their formatted name alone, two of them with one number:
    // three contacts, each with its name.
    QCOMPARE(run({QStringLiteral("import"),
                  writeFile(QStringLiteral("trades.vcf"),
                            "BEGIN:VCARD\nVERSION:3.0\nN:;;;;\nFN:Electrician\nTEL:+4422222\nEND:VCARD\n"
                            "BEGIN:VCARD\nVERSION:3.0\nN:;;;;\nFN:Gas Engineer\nTEL:+4422222\nEND:VCARD\n"
                            // vCard 4 writes a number as a tel: URI.
                            "BEGIN:VCARD\nVERSION:4.0\nFN:Mum\nTEL;VALUE=uri:tel:+44-33333\nEND:VCARD\n"
                            // Written family name first, as the card's own name says.
                            "BEGIN:VCARD\nVERSION:3.0\nN:王;小明;;;\nFN:王小明\nEND:VCARD\n")}),
             0);
    QCOMPARE(run({QStringLiteral("list")}, &out), 0);
    QVERIFY2(out.contains("\tMum\t\t+44-33333\n"), out.constData());
    QVERIFY(out.contains("\t王小明\t"));
    QVERIFY(out.contains("\tElectrician\t\t+4422222\n"));
    QVERIFY(out.contains("\tGas Engineer\t\t+4422222\n"));
    QVERIFY(out.contains("\tMum\t"));
    // A name with a terminal's escape sequence and a line break: one record, no escape.
    QCOMPARE(run({QStringLiteral("import"), writeFile(QStringLiteral("odd.vcf"), "BEGIN:VCARD\nVERSION:3.0\nN:;;;;\n"
                                                                        "FN:Eve\\nTitle\x1b]0;pwned\x07\nEND:VCARD\n")}),
             0);
    QCOMPARE(run({QStringLiteral("list")}, &out), 0);
    QVERIFY2(!out.contains('\x1b') && !out.contains('\x07'), out.constData());
    QVERIFY2(QRegularExpression("\tEve\\s+Title \\]0;pwned\\s*\t").match(QString::fromUtf8(out)).hasMatch(), out.constData());

    // A card given twice is one contact, and counts as one.
    const QByteArray card("BEGIN:VCARD\nVERSION:3.0\nUID:c-1\nN:Day;Cy;;;\nEND:VCARD\n");
    QCOMPARE(run({QStringLiteral("import"), writeFile(QStringLiteral("twice.vcf"), card + card)}, &out), 0);
    QCOMPARE(out, QByteArray("imported 1 contacts (from 2 cards)\n"));
}

void TestHalvaneContacts::badInputChangesNothing()
{
    QCOMPARE(run({QStringLiteral("import"),
                  writeFile(QStringLiteral("ok.vcf"), "BEGIN:VCARD\nVERSION:3.0\nN:Lee;Ann;;;\nEND:VCARD\n")}),
             0);
    QByteArray before;
    QCOMPARE(run({QStringLiteral("list")}, &before), 0);

    QByteArray err;
    QCOMPARE(run({QStringLiteral("import"), writeFile(QStringLiteral("bad.vcf"), "this is no vCard\n")}, nullptr, &err), 1);
    QVERIFY2(err.contains("not a readable vCard") || err.contains("holds no vCard"), err.constData());
    QCOMPARE(run({QStringLiteral("import"), m_dir->filePath(QStringLiteral("missing.vcf"))}, nullptr, &err), 1);
    QVERIFY(err.contains("cannot read"));
    // Cards left open: the reader took the last one for part of the one
    // before, and the file imported without it.
    QCOMPARE(run({QStringLiteral("import"),
                  writeFile(QStringLiteral("open.vcf"), "BEGIN:VCARD\nVERSION:3.0\nFN:Whole\nEND:VCARD\n"
                                                        "BEGIN:VCARD\nVERSION:3.0\nFN:Open\nTEL:+3361\n"
                                                        "BEGIN:VCARD\nVERSION:3.0\nFN:Next\nTEL:+3362\n")},
                 nullptr, &err),
             1);
    QVERIFY2(err.contains("the card that begins at line 5 has no END:VCARD"), err.constData());

    QByteArray after;
    QCOMPARE(run({QStringLiteral("list")}, &after), 0);
    QCOMPARE(after, before);
}

void TestHalvaneContacts::usage()
{
    QByteArray err;
    QCOMPARE(run({}, nullptr, &err), 2);
    QVERIFY(err.contains("import FILE.vcf"));
    QCOMPARE(run({QStringLiteral("import")}), 2);
    QCOMPARE(run({QStringLiteral("frobnicate")}), 2);
}

QTEST_GUILESS_MAIN(TestHalvaneContacts)
#include "tst_halvanecontacts.moc"
