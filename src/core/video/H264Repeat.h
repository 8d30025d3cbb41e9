#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

namespace pvsm {

// Makes H.264 frames that repeat the previous picture without the encoder.
//
// A held slide is one picture shown for many frames. Encoding it again for
// every frame would cost nearly as much as a moving picture; leaving the
// frames out (empty AVI chunks) makes common players treat the video as
// variable-rate, so that a seek lands on the next picture instead of the one
// on screen at that time. Instead every repeated frame becomes a tiny coded
// frame of its own: a P slice whose macroblocks are all skipped, which a
// decoder shows as an exact copy of the previous picture.
//
// The repeats are reference frames, so the encoder's own frame numbers are
// shifted past them. That is only valid when the encoder uses one reference
// frame (every P frame then predicts from the picture just before it, which a
// repeat copies exactly) and no B frames; the writer configures x264 so.
// The repeats use a picture parameter set of their own (id 1, CAVLC), added
// next to the encoder's parameter sets.
class H264RepeatFrames
{
public:
    // Takes one Annex B access unit from the encoder, in decoding order, and
    // returns what to store instead: slices renumbered, the repeat parameter
    // set added after the encoder's. Returns the input unchanged until the
    // first sequence parameter set has been seen.
    QByteArray processEncoderPacket(QByteArrayView accessUnit);

    // True once a sequence parameter set and an IDR picture have been seen,
    // and the stream numbers its pictures in a way repeats can join (picture
    // order from frame numbers, one reference frame, whole frames).
    bool canRepeat() const { return m_haveSps && m_sawIdr && m_supported; }

    // One Annex B access unit that repeats the last picture. Empty when
    // canRepeat() is false.
    QByteArray repeatFrame();

    int picSizeInMbs() const { return m_picSizeInMbs; }

private:
    bool parseSps(QByteArrayView rbsp);
    QByteArray renumberSlice(QByteArrayView nal, bool idr);
    QByteArray repeatParameterSet() const;

    bool m_haveSps = false;
    bool m_sawIdr = false;
    bool m_supported = false;
    int m_log2MaxFrameNum = 4;
    int m_picSizeInMbs = 0;
    uint32_t m_offset = 0;        // repeats inserted since the last IDR picture
    uint32_t m_lastFrameNum = 0;  // frame_num of the last reference picture stored
};

// Exposed for tests: RBSP <-> NAL payload (emulation prevention bytes).
QByteArray h264Unescape(QByteArrayView payload);
QByteArray h264Escape(QByteArrayView rbsp);

} // namespace pvsm
