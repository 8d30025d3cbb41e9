// Makes the shipped form of the player, Pvsm.bfq: the program with its first
// 5000 bytes scrambled, as the builder expects to find it beside the editor.

#include "Scramble.h"

#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_bfq PLAYER OUT\n");
        return 2;
    }
    const QString in = QFile::decodeName(argv[1]);
    const QString out = QFile::decodeName(argv[2]);
    QFile::remove(out);
    if (!QFile::copy(in, out) || !pvsm::ScrambleFile(out)) {
        std::fprintf(stderr, "make_bfq: cannot make %s from %s\n", argv[2], argv[1]);
        QFile::remove(out);
        return 1;
    }
    return 0;
}
