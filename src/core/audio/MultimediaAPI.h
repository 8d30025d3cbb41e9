#pragma once

#include "FileAccess.h"
#include "ISoundStream.h"

#include <QString>

#include <cstdint>

namespace pvsm {

// Where a chunk's contents lie in a RIFF file.
struct RiffChunk
{
    int32_t offset = 0; // file offset of the contents; 0 = not found
    uint32_t size = 0;  // declared size of the contents, as written in the file
    bool found() const { return offset != 0; }
};

// Looks inside the first top-level RIFF chunk of form type "WAVE" for the
// first child chunk with the four-character id `chunkId` ("data", "fmt ").
// A shorter id is padded with blanks. Returns (0, 0) when the file cannot be
// opened or has no such chunk. Sizes are taken as declared; chunks are
// walked with their even padding up to the end of the file, and the walk
// gives up after a bounded number of chunks.
RiffChunk FindRiffChunk(const QString &path, const QByteArray &chunkId);
// The same over an open handle (a file or bytes); the position is restored.
RiffChunk FindRiffChunk(FileHandle &file, const QByteArray &chunkId);

} // namespace pvsm
