#include "PropertyBag.h"
#include "Scramble.h"

#include "AtomicFile.h"
#include "FileBytes.h"
#include "FileCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pvsm {

namespace {

// ---- little-endian helpers -------------------------------------------------

void appendU16(QByteArray &out, uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendU32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

void putU32At(QByteArray &out, int offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[offset + i] = char((v >> (8 * i)) & 0xFF);
}

uint32_t readU32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t readU16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

// CRC-32 (IEEE 802.3) guards project files against silent damage.
uint32_t crc32(const uint8_t *data, size_t size)
{
    return Crc32(data, size);
}

std::optional<QString> decodeUtf8Strict(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QString floatText(float v)
{
    if (std::isnan(v)) return QStringLiteral("nan");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

QString escapeText(const QString &s)
{
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default: out += c;
        }
    }
    return out;
}

std::optional<double> parseNumber(const QString &text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return d;
}

} // namespace

// ---- BagValue ----------------------------------------------------------------

QString bagTypeName(BagType type)
{
    switch (type) {
    case BagType::Empty: return QStringLiteral("Empty");
    case BagType::Bool: return QStringLiteral("Bool");
    case BagType::I2: return QStringLiteral("I2");
    case BagType::I4: return QStringLiteral("I4");
    case BagType::R4: return QStringLiteral("R4");
    case BagType::Str: return QStringLiteral("Str");
    case BagType::Bytes: return QStringLiteral("Bytes");
    }
    return QStringLiteral("?");
}

std::optional<BagType> bagTypeFromName(const QString &name)
{
    for (BagType t : {BagType::Bool, BagType::I2, BagType::I4, BagType::R4, BagType::Str, BagType::Bytes})
        if (bagTypeName(t).compare(name, Qt::CaseInsensitive) == 0) return t;
    return std::nullopt;
}

std::optional<BagValue> BagValue::parse(BagType type, const QString &text)
{
    switch (type) {
    case BagType::Empty: return BagValue();
    case BagType::Bool: {
        const QString t = text.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("-1") || t == QLatin1String("1")) return fromBool(true);
        if (t == QLatin1String("false") || t == QLatin1String("0")) return fromBool(false);
        return std::nullopt;
    }
    case BagType::I2:
    case BagType::I4: {
        bool ok = false;
        const QString t = text.trimmed();
        qlonglong v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toLongLong(&ok, 16)
                                                                               : t.toLongLong(&ok, 10);
        if (!ok) return std::nullopt;
        if (type == BagType::I2) {
            if (v < INT16_MIN || v > INT16_MAX) return std::nullopt;
            return fromI2(int16_t(v));
        }
        if (v < INT32_MIN || v > UINT32_MAX) return std::nullopt;
        return fromI4(int32_t(uint32_t(v)));
    }
    case BagType::R4: {
        const auto d = parseNumber(text);
        if (!d || !std::isfinite(*d)) return std::nullopt;
        return fromR4(float(*d));
    }
    case BagType::Str: return fromStr(text);
    case BagType::Bytes: {
        const QByteArray hex = text.trimmed().toLatin1();
        if (hex.size() % 2 != 0) return std::nullopt;
        for (char c : hex)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        return fromBytes(QByteArray::fromHex(hex));
    }
    }
    return std::nullopt;
}

bool BagValue::toBool() const
{
    switch (type()) {
    case BagType::Empty: return false;
    case BagType::Bool: return std::get<bool>(m_value);
    case BagType::I2: return std::get<int16_t>(m_value) != 0;
    case BagType::I4: return std::get<int32_t>(m_value) != 0;
    case BagType::R4: return std::get<float>(m_value) != 0.0f;
    case BagType::Str: {
        const QString t = std::get<QString>(m_value).trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        const auto d = parseNumber(t);
        return d && *d != 0.0;
    }
    case BagType::Bytes: return false;
    }
    return false;
}

int32_t BagValue::toInt() const
{
    switch (type()) {
    case BagType::Empty: return 0;
    case BagType::Bool: return std::get<bool>(m_value) ? -1 : 0;
    case BagType::I2: return std::get<int16_t>(m_value);
    case BagType::I4: return std::get<int32_t>(m_value);
    case BagType::R4: {
        const float f = std::get<float>(m_value);
        if (!std::isfinite(f)) return 0;
        const double r = std::nearbyint(double(f));
        if (r > INT32_MAX) return INT32_MAX;
        if (r < INT32_MIN) return INT32_MIN;
        return int32_t(r);
    }
    case BagType::Str: {
        const auto d = parseNumber(std::get<QString>(m_value));
        if (!d || !std::isfinite(*d)) return 0;
        const double r = std::nearbyint(*d);
        if (r > INT32_MAX) return INT32_MAX;
        if (r < INT32_MIN) return INT32_MIN;
        return int32_t(r);
    }
    case BagType::Bytes: return 0;
    }
    return 0;
}

float BagValue::toFloat() const
{
    switch (type()) {
    case BagType::R4: return std::get<float>(m_value);
    case BagType::Str: {
        const auto d = parseNumber(std::get<QString>(m_value));
        return d ? float(*d) : 0.0f;
    }
    default: return float(toInt());
    }
}

QString BagValue::toString() const
{
    switch (type()) {
    case BagType::Empty: return {};
    case BagType::Bool: return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case BagType::I2: return QString::number(std::get<int16_t>(m_value));
    case BagType::I4: return QString::number(std::get<int32_t>(m_value));
    case BagType::R4: return floatText(std::get<float>(m_value));
    case BagType::Str: return std::get<QString>(m_value);
    case BagType::Bytes: return QString::fromLatin1(std::get<QByteArray>(m_value).toHex());
    }
    return {};
}

QByteArray BagValue::toBytes() const
{
    if (type() == BagType::Bytes) return std::get<QByteArray>(m_value);
    return {};
}

QString BagValue::displayText() const
{
    switch (type()) {
    case BagType::Bool: return std::get<bool>(m_value) ? QStringLiteral("true") : QStringLiteral("false");
    case BagType::Str: return escapeText(std::get<QString>(m_value));
    default: return toString();
    }
}

// ---- PropertyBag -----------------------------------------------------------

const PropertyBag::Entry *PropertyBag::find(const QString &key) const
{
    for (const Entry &e : m_entries)
        if (e.key == key) return &e;
    return nullptr;
}

void PropertyBag::put(const QString &key, const BagValue &value)
{
    for (Entry &e : m_entries) {
        if (e.key == key) {
            e.value = value;
            return;
        }
    }
    m_entries.push_back({key, value});
}

bool PropertyBag::remove(const QString &key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->key == key) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

BagValue PropertyBag::value(const QString &key) const
{
    const Entry *e = find(key);
    return e ? e->value : BagValue();
}

bool PropertyBag::getBool(const QString &key, bool def) const
{
    const Entry *e = find(key);
    return e ? e->value.toBool() : def;
}

int32_t PropertyBag::getInt(const QString &key, int32_t def) const
{
    const Entry *e = find(key);
    return e ? e->value.toInt() : def;
}

float PropertyBag::getFloat(const QString &key, float def) const
{
    const Entry *e = find(key);
    return e ? e->value.toFloat() : def;
}

QString PropertyBag::getString(const QString &key, const QString &def) const
{
    const Entry *e = find(key);
    return e ? e->value.toString() : def;
}

QByteArray PropertyBag::getBytes(const QString &key) const
{
    const Entry *e = find(key);
    return e ? e->value.toBytes() : QByteArray();
}

void PropertyBag::clear()
{
    m_entries.clear();
}

namespace {

bool readBounds(const PropertyBag &bag, const QString &name, int32_t &lower, int32_t &upper)
{
    const QByteArray bounds = bag.getBytes(name + QStringLiteral("_(Type)"));
    if (bounds.size() < 8) return false;
    lower = BytesToLongBE(QByteArrayView(bounds).first(4));
    upper = BytesToLongBE(QByteArrayView(bounds).sliced(4, 4));
    return upper >= lower;
}

} // namespace

QStringList PropertyBag::readStringArray(const QString &name, int32_t *lowerBound, bool *ok) const
{
    int32_t lower = 0, upper = -1;
    QStringList out;
    const bool valid = readBounds(*this, name, lower, upper);
    if (ok) *ok = valid;
    if (lowerBound) *lowerBound = valid ? lower : 0;
    if (!valid) return out;
    // Every element is a key of its own, so the bag's size bounds the loop's work
    // only when we stop at the first missing element past the bag's entry count.
    const int64_t count = int64_t(upper) - lower + 1;
    if (count > int64_t(m_entries.size())) {
        if (ok) *ok = false;
        return out;
    }
    for (int64_t i = lower; i <= upper; ++i)
        out.append(getString(name + QLatin1Char('(') + QString::number(i) + QLatin1Char(')')));
    return out;
}

std::vector<int32_t> PropertyBag::readLongArray(const QString &name, int32_t *lowerBound, bool *ok) const
{
    int32_t lower = 0, upper = -1;
    std::vector<int32_t> out;
    const bool bounded = readBounds(*this, name, lower, upper);
    const QByteArray data = getBytes(name);
    const int64_t count = int64_t(upper) - lower + 1;
    const bool valid = bounded && count * 4 <= data.size();
    if (ok) *ok = valid;
    if (lowerBound) *lowerBound = valid ? lower : 0;
    if (!valid) return out;
    out.resize(size_t(count));
    const auto *p = reinterpret_cast<const uint8_t *>(data.constData());
    for (int64_t i = 0; i < count; ++i) out[size_t(i)] = int32_t(readU32(p + 4 * i));
    return out;
}

void PropertyBag::writeStringArray(const QString &name, const QStringList &items, int32_t lowerBound)
{
    const int32_t upper = lowerBound + int32_t(items.size()) - 1;
    putBytes(name + QStringLiteral("_(Type)"), LongToBytesBE(lowerBound) + LongToBytesBE(upper));
    for (int i = 0; i < items.size(); ++i)
        putStr(name + QLatin1Char('(') + QString::number(lowerBound + i) + QLatin1Char(')'), items[i]);
}

void PropertyBag::writeLongArray(const QString &name, const std::vector<int32_t> &items, int32_t lowerBound)
{
    const int32_t upper = lowerBound + int32_t(items.size()) - 1;
    putBytes(name + QStringLiteral("_(Type)"), LongToBytesBE(lowerBound) + LongToBytesBE(upper));
    QByteArray data;
    data.reserve(qsizetype(items.size() * 4));
    for (int32_t v : items) appendU32(data, uint32_t(v));
    putBytes(name, data);
}

QStringList PropertyBag::listing() const
{
    QStringList lines;
    lines.reserve(qsizetype(m_entries.size()));
    for (const Entry &e : m_entries)
        lines << e.key + QStringLiteral(": ") + bagTypeName(e.value.type()) + QLatin1Char(' ') + e.value.displayText();
    return lines;
}

QByteArray PropertyBag::toBlob() const
{
    QByteArray out(kBagHeaderSize, '\0');
    out[0] = char(kBagMagic0);
    out[1] = char(kBagMagic1);
    out[2] = char(kBagFormatVersion);
    out[3] = 0;
    for (const Entry &e : m_entries) {
        QByteArray key = e.key.toUtf8();
        if (key.size() > 0xFFFF) key.truncate(0xFFFF); // keys are short names; never happens in practice
        appendU16(out, uint16_t(key.size()));
        out.append(key);
        const BagType t = e.value.type();
        out.append(char(t));
        switch (t) {
        case BagType::Empty: break;
        case BagType::Bool: out.append(char(e.value.toBool() ? 1 : 0)); break;
        case BagType::I2: appendU16(out, uint16_t(int16_t(e.value.toInt()))); break;
        case BagType::I4: appendU32(out, uint32_t(e.value.toInt())); break;
        case BagType::R4: appendU32(out, std::bit_cast<uint32_t>(e.value.toFloat())); break;
        case BagType::Str: {
            const QByteArray s = e.value.toString().toUtf8();
            appendU32(out, uint32_t(s.size()));
            out.append(s);
            break;
        }
        case BagType::Bytes: {
            const QByteArray b = e.value.toBytes();
            appendU32(out, uint32_t(b.size()));
            out.append(b);
            break;
        }
        }
    }
    putU32At(out, 4, uint32_t(out.size()));
    putU32At(out, 8, uint32_t(m_entries.size()));
    const auto *p = reinterpret_cast<const uint8_t *>(out.constData());
    putU32At(out, 12, crc32(p + kBagHeaderSize, size_t(out.size() - kBagHeaderSize)));
    return out;
}

std::optional<PropertyBag> PropertyBag::fromBlob(QByteArrayView data)
{
    if (data.size() < kBagHeaderSize) return std::nullopt;
    const auto *p = reinterpret_cast<const uint8_t *>(data.data());
    if (p[0] != kBagMagic0 || p[1] != kBagMagic1) return std::nullopt;
    if (p[2] != kBagFormatVersion) return std::nullopt;
    const uint32_t total = readU32(p + 4);
    const uint32_t count = readU32(p + 8);
    const uint32_t crc = readU32(p + 12);
    if (total < uint32_t(kBagHeaderSize) || total > uint64_t(data.size())) return std::nullopt;
    if (crc32(p + kBagHeaderSize, total - kBagHeaderSize) != crc) return std::nullopt;
    // The smallest entry (empty key, Empty value) takes 3 bytes.
    if (uint64_t(count) * 3 > total - kBagHeaderSize) return std::nullopt;

    PropertyBag bag;
    size_t pos = kBagHeaderSize;
    const size_t end = total;
    auto need = [&](size_t n) { return n <= end - pos; };
    for (uint32_t i = 0; i < count; ++i) {
        if (!need(2)) return std::nullopt;
        const uint16_t keyLen = readU16(p + pos);
        pos += 2;
        if (!need(size_t(keyLen) + 1)) return std::nullopt;
        const auto key = decodeUtf8Strict(QByteArrayView(p + pos, keyLen));
        if (!key) return std::nullopt;
        pos += keyLen;
        const uint8_t tag = p[pos++];
        BagValue v;
        switch (tag) {
        case uint8_t(BagType::Empty): break;
        case uint8_t(BagType::Bool):
            if (!need(1) || p[pos] > 1) return std::nullopt;
            v = BagValue::fromBool(p[pos] == 1);
            pos += 1;
            break;
        case uint8_t(BagType::I2):
            if (!need(2)) return std::nullopt;
            v = BagValue::fromI2(int16_t(readU16(p + pos)));
            pos += 2;
            break;
        case uint8_t(BagType::I4):
            if (!need(4)) return std::nullopt;
            v = BagValue::fromI4(int32_t(readU32(p + pos)));
            pos += 4;
            break;
        case uint8_t(BagType::R4):
            if (!need(4)) return std::nullopt;
            v = BagValue::fromR4(std::bit_cast<float>(readU32(p + pos)));
            pos += 4;
            break;
        case uint8_t(BagType::Str): {
            if (!need(4)) return std::nullopt;
            const uint32_t n = readU32(p + pos);
            pos += 4;
            if (!need(n)) return std::nullopt;
            const auto s = decodeUtf8Strict(QByteArrayView(p + pos, qsizetype(n)));
            if (!s) return std::nullopt;
            v = BagValue::fromStr(*s);
            pos += n;
            break;
        }
        case uint8_t(BagType::Bytes): {
            if (!need(4)) return std::nullopt;
            const uint32_t n = readU32(p + pos);
            pos += 4;
            if (!need(n)) return std::nullopt;
            v = BagValue::fromBytes(QByteArray(reinterpret_cast<const char *>(p + pos), qsizetype(n)));
            pos += n;
            break;
        }
        default: return std::nullopt;
        }
        bag.put(*key, v);
    }
    if (pos != end) return std::nullopt; // stray bytes inside the blob's own length
    return bag;
}

// ---- files -----------------------------------------------------------------

bool LoadBagFile(const QString &path, PropertyBag &out)
{
    if (readProblem(path) != FileProblem::None) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (size < 14 || size > kMaxBagFileSize) return false;
    const QByteArray head = file.read(14);
    if (head.size() != 14) return false;
    const auto *h = reinterpret_cast<const uint8_t *>(head.constData());
    qint64 start = -1;
    if (h[0] == kBagMagic0 && h[1] == kBagMagic1)
        start = 0;
    else if (h[12] == kBagMagic0 && h[13] == kBagMagic1)
        start = 12;
    else
        return false;
    if (!file.seek(start)) return false;
    const QByteArray blob = file.readAll();
    auto bag = PropertyBag::fromBlob(blob);
    if (!bag) return false;
    out = std::move(*bag);
    return true;
}

bool SaveBagFile(const QString &path, const PropertyBag &bag, const QString &projectDir, FileProblem *problem)
{
    if (!projectDir.isEmpty()) QDir().mkpath(projectDir);
    return WriteFileAtomically(path, bag.toBlob(), problem);
}

int32_t BytesToLongBE(QByteArrayView bytes)
{
    if (bytes.size() < 4) return 0;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    return int32_t((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
}

QByteArray LongToBytesBE(int32_t value)
{
    const auto v = uint32_t(value);
    QByteArray out(4, '\0');
    out[0] = char(v >> 24);
    out[1] = char((v >> 16) & 0xFF);
    out[2] = char((v >> 8) & 0xFF);
    out[3] = char(v & 0xFF);
    return out;
}

QByteArray encodeTrailer(const PackageTrailer &t)
{
    QByteArray out = LongToBytesBE(int32_t(t.playerLength)) + LongToBytesBE(int32_t(t.resourcesLength))
                     + LongToBytesBE(int32_t(t.blobLength));
    out.append(reinterpret_cast<const char *>(kTrailerMagic), 4);
    return out;
}

std::optional<PackageTrailer> decodeTrailer(QByteArrayView last16)
{
    if (last16.size() != kTrailerSize) return std::nullopt;
    if (std::memcmp(last16.data() + 12, kTrailerMagic, 4) != 0) return std::nullopt;
    PackageTrailer t;
    t.playerLength = uint32_t(BytesToLongBE(last16.sliced(0, 4)));
    t.resourcesLength = uint32_t(BytesToLongBE(last16.sliced(4, 4)));
    t.blobLength = uint32_t(BytesToLongBE(last16.sliced(8, 4)));
    return t;
}

bool WritePackageTrailer(const QString &path, uint32_t playerLength, uint32_t resourcesLength, uint32_t blobLength)
{
    const qint64 offset = qint64(playerLength) + resourcesLength + blobLength;
    return WriteFileBytes(encodeTrailer({playerLength, resourcesLength, blobLength}), path, offset);
}

} // namespace pvsm
