#pragma once

#include <QByteArray>
#include <QString>

namespace pvsm {

// The length of a playable media file in seconds as the media libraries see
// it, or −1 when the file cannot be opened, has no audio stream that decodes,
// or gives no length. Blocking; any thread.
double MediaDurationSeconds(const QString &path);

// The music list's admission probe: the media length when it is above 0.3
// seconds, rounded to whole milliseconds; otherwise (or on any error) −1.
double ProbeSongLength(const QString &path);

// A song's length in seconds, rounded to whole milliseconds; 0 when unknown.
// `knownLength` (seconds, 0 = unknown) stands for the media length when it is
// not 0. MP3 files are checked against their own structure: the MP3 length d
// wins unless it lies within 5 seconds above the media length. WAV and TMP
// files use `knownLength` or their canonical 44-byte-style header.
float GetSongLength(const QString &path, float knownLength);

// The music list's admission: a file the media libraries can play for more
// than 0.3 seconds, with the song length of its own structure; −1 otherwise.
float songLengthForList(const QString &path);

// Seconds of a WAV from its canonical header: "RIFF", "WAVE" at 8, "fmt " at
// 12 and the "data" chunk header right behind the fmt chunk. 0 for any other
// layout. `head` holds the file's first bytes (at least 20 + fmt size + 8).
double CanonicalWavSeconds(const QByteArray &head);

} // namespace pvsm
