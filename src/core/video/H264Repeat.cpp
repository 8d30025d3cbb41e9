#include "H264Repeat.h"

#include <vector>

namespace pvsm {

namespace {

class BitReader
{
public:
    explicit BitReader(QByteArrayView data) : m_data(data) {}
    bool ok() const { return m_ok; }
    size_t position() const { return m_pos; }

    uint32_t bits(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    uint32_t bit()
    {
        if (m_pos >= size_t(m_data.size()) * 8) {
            m_ok = false;
            return 0;
        }
        const uint8_t byte = uint8_t(m_data[qsizetype(m_pos / 8)]);
        const uint32_t b = (byte >> (7 - m_pos % 8)) & 1;
        ++m_pos;
        return b;
    }
    uint32_t ue()
    {
        int zeros = 0;
        while (m_ok && bit() == 0) {
            if (++zeros > 31) {
                m_ok = false;
                return 0;
            }
        }
        if (!m_ok) return 0;
        return ((1u << zeros) - 1) + bits(zeros);
    }
    int32_t se()
    {
        const uint32_t k = ue();
        return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
    }

private:
    QByteArrayView m_data;
    size_t m_pos = 0;
    bool m_ok = true;
};

class BitWriter
{
public:
    void bit(uint32_t b)
    {
        m_cur = uint8_t((m_cur << 1) | (b & 1));
        if (++m_count == 8) flushByte();
    }
    void bits(uint32_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i) bit((v >> i) & 1);
    }
    void ue(uint32_t v)
    {
        const uint64_t x = uint64_t(v) + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        bits(0, len);
        for (int i = len; i >= 0; --i) bit(uint32_t(x >> i) & 1);
    }
    void se(int32_t v) { ue(v <= 0 ? uint32_t(-2 * int64_t(v)) : uint32_t(2 * int64_t(v) - 1)); }
    // rbsp_trailing_bits
    QByteArray finish()
    {
        bit(1);
        while (m_count != 0) bit(0);
        return m_out;
    }

private:
    void flushByte()
    {
        m_out.append(char(m_cur));
        m_cur = 0;
        m_count = 0;
    }
    QByteArray m_out;
    uint8_t m_cur = 0;
    int m_count = 0;
};

struct NalSpan
{
    qsizetype start; // first byte after the start code
    qsizetype end;
};

std::vector<NalSpan> splitAnnexB(QByteArrayView au)
{
    std::vector<NalSpan> out;
    const auto *p = reinterpret_cast<const uint8_t *>(au.data());
    const qsizetype n = au.size();
    qsizetype i = 0;
    qsizetype nalStart = -1;
    while (i + 2 < n) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            if (nalStart >= 0) {
                qsizetype end = i;
                while (end > nalStart && p[end - 1] == 0) --end; // trailing zero of a 4-byte start code
                out.push_back({nalStart, end});
            }
            i += 3;
            nalStart = i;
        } else {
            ++i;
        }
    }
    if (nalStart >= 0 && nalStart < n) out.push_back({nalStart, n});
    return out;
}

const QByteArray kStartCode("\x00\x00\x00\x01", 4);

} // namespace

QByteArray h264Unescape(QByteArrayView payload)
{
    QByteArray out;
    out.reserve(payload.size());
    int zeros = 0;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        const uint8_t b = uint8_t(payload[i]);
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        out.append(char(b));
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

QByteArray h264Escape(QByteArrayView rbsp)
{
    QByteArray out;
    out.reserve(rbsp.size() + rbsp.size() / 64 + 4);
    int zeros = 0;
    for (qsizetype i = 0; i < rbsp.size(); ++i) {
        const uint8_t b = uint8_t(rbsp[i]);
        if (zeros >= 2 && b <= 3) {
            out.append(char(3));
            zeros = 0;
        }
        out.append(char(b));
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

bool H264RepeatFrames::parseSps(QByteArrayView rbsp)
{
    BitReader r(rbsp);
    const uint32_t profile = r.bits(8);
    r.bits(16); // constraint flags, level
    r.ue();     // seq_parameter_set_id
    bool separateColourPlanes = false;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 || profile == 83
        || profile == 86 || profile == 118 || profile == 128 || profile == 138 || profile == 139 || profile == 134
        || profile == 135) {
        const uint32_t chroma = r.ue();
        if (chroma == 3) separateColourPlanes = r.bit();
        r.ue();      // bit_depth_luma_minus8
        r.ue();      // bit_depth_chroma_minus8
        r.bit();     // qpprime_y_zero_transform_bypass_flag
        if (r.bit()) return false; // scaling matrices: not produced by our encoder settings
    }
    const uint32_t log2MaxFrameNum = r.ue() + 4;
    const uint32_t pocType = r.ue();
    if (pocType == 0) r.ue();
    else if (pocType == 1) return false;
    const uint32_t maxRefFrames = r.ue();
    r.bit(); // gaps_in_frame_num_allowed_flag
    const uint32_t widthMbs = r.ue() + 1;
    const uint32_t heightMapUnits = r.ue() + 1;
    const uint32_t frameMbsOnly = r.bit();
    if (!r.ok() || log2MaxFrameNum > 16) return false;
    m_log2MaxFrameNum = int(log2MaxFrameNum);
    m_picSizeInMbs = int(widthMbs * heightMapUnits * (frameMbsOnly ? 1 : 2));
    m_supported = pocType == 2 && maxRefFrames == 1 && frameMbsOnly && !separateColourPlanes;
    return true;
}

QByteArray H264RepeatFrames::repeatParameterSet() const
{
    BitWriter w;
    w.ue(1);    // pic_parameter_set_id
    w.ue(0);    // seq_parameter_set_id
    w.bit(0);   // entropy_coding_mode_flag: CAVLC, where a skipped slice is one number
    w.bit(0);   // bottom_field_pic_order_in_frame_present_flag
    w.ue(0);    // num_slice_groups_minus1
    w.ue(0);    // num_ref_idx_l0_default_active_minus1
    w.ue(0);    // num_ref_idx_l1_default_active_minus1
    w.bit(0);   // weighted_pred_flag
    w.bits(0, 2); // weighted_bipred_idc
    w.se(0);    // pic_init_qp_minus26
    w.se(0);    // pic_init_qs_minus26
    w.se(0);    // chroma_qp_index_offset
    w.bit(1);   // deblocking_filter_control_present_flag
    w.bit(0);   // constrained_intra_pred_flag
    w.bit(0);   // redundant_pic_cnt_present_flag
    const QByteArray rbsp = w.finish();
    QByteArray nal = kStartCode;
    nal.append(char(0x68)); // nal_ref_idc 3, type 8
    nal.append(h264Escape(rbsp));
    return nal;
}

QByteArray H264RepeatFrames::renumberSlice(QByteArrayView nal, bool idr)
{
    // nal[0] is the header byte; the slice header follows.
    QByteArray rbsp = h264Unescape(nal.sliced(1));
    BitReader r(rbsp);
    r.ue(); // first_mb_in_slice
    r.ue(); // slice_type
    r.ue(); // pic_parameter_set_id
    const size_t pos = r.position();
    const uint32_t frameNum = r.bits(m_log2MaxFrameNum);
    if (!r.ok()) return QByteArray(nal.data(), nal.size());
    const uint32_t maxFrameNum = 1u << m_log2MaxFrameNum;
    const uint32_t renumbered = idr ? frameNum : (frameNum + m_offset) % maxFrameNum;
    m_lastFrameNum = renumbered;
    if (renumbered == frameNum) return QByteArray(nal.data(), nal.size());
    for (int i = 0; i < m_log2MaxFrameNum; ++i) {
        const size_t bitPos = pos + size_t(i);
        const uint32_t b = (renumbered >> (m_log2MaxFrameNum - 1 - i)) & 1;
        auto &byte = reinterpret_cast<uint8_t &>(rbsp[qsizetype(bitPos / 8)]);
        const uint8_t mask = uint8_t(1u << (7 - bitPos % 8));
        byte = b ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
    }
    QByteArray out;
    out.append(nal[0]);
    out.append(h264Escape(rbsp));
    return out;
}

QByteArray H264RepeatFrames::processEncoderPacket(QByteArrayView au)
{
    const auto nals = splitAnnexB(au);
    QByteArray out;
    out.reserve(au.size() + 16);
    for (const NalSpan &span : nals) {
        const QByteArrayView nal = au.sliced(span.start, span.end - span.start);
        if (nal.isEmpty()) continue;
        const int type = uint8_t(nal[0]) & 0x1F;
        out.append(kStartCode);
        if (type == 7) {
            out.append(nal.data(), nal.size());
            m_haveSps = parseSps(h264Unescape(nal.sliced(1))) || m_haveSps;
        } else if (type == 8) {
            out.append(nal.data(), nal.size());
            if (m_haveSps) out.append(repeatParameterSet());
        } else if ((type == 1 || type == 5) && m_haveSps && m_supported) {
            const bool idr = type == 5;
            if (idr) {
                m_offset = 0;
                m_sawIdr = true;
            }
            out.append(renumberSlice(nal, idr));
        } else {
            out.append(nal.data(), nal.size());
        }
    }
    return out;
}

QByteArray H264RepeatFrames::repeatFrame()
{
    if (!canRepeat()) return {};
    const uint32_t maxFrameNum = 1u << m_log2MaxFrameNum;
    const uint32_t frameNum = (m_lastFrameNum + 1) % maxFrameNum;
    BitWriter w;
    w.ue(0);                         // first_mb_in_slice
    w.ue(5);                         // slice_type: P, every slice of the picture
    w.ue(1);                         // pic_parameter_set_id: the repeat set
    w.bits(frameNum, m_log2MaxFrameNum);
    w.bit(0);                        // num_ref_idx_active_override_flag
    w.bit(0);                        // ref_pic_list_modification_flag_l0
    w.bit(0);                        // adaptive_ref_pic_marking_mode_flag
    w.se(0);                         // slice_qp_delta
    w.ue(1);                         // disable_deblocking_filter_idc
    w.ue(uint32_t(m_picSizeInMbs));  // mb_skip_run: the whole picture
    const QByteArray rbsp = w.finish();
    QByteArray out = kStartCode;
    out.append(char(0x41)); // nal_ref_idc 2, type 1 (non-IDR slice)
    out.append(h264Escape(rbsp));
    ++m_offset;
    m_lastFrameNum = frameNum;
    return out;
}

} // namespace pvsm
