// Banner pages an attacker would serve, for the banner tests and benchmarks: a few small ones
// kept in tests/banner/data, the large ones made here, and random tag soup.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

struct HostilePage {
    QString strName;
    QByteArray html;
    QHash<QString, QByteArray> files; // other paths the server answers, with PNG bodies
    bool bEveryLetterShown = false;   // the installed fonts have every letter
};

// Every page of the corpus; dataDir is tests/banner/data.
QList<HostilePage> HostileCorpus(const QString& dataDir);

// Random HTML of about nBytes, the same for the same seed: tags of every kind, broken and
// deep nesting, odd attributes, entities, long words, data: pictures real and false.
QByteArray TagSoup(quint32 seed, int nBytes);

// A PNG of one colour; with mono, one bit a pixel, so a huge picture is a small file.
QByteArray PngBytes(int width, int height, bool mono = false);

// CPU time the calling thread has used, in milliseconds: what a page costs that thread.
double ThreadCpuMs();
