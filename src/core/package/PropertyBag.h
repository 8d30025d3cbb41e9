#pragma once

#include "FileCheck.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace pvsm {

enum class BagType : uint8_t { Empty = 0, Bool = 1, I2 = 2, I4 = 3, R4 = 4, Str = 5, Bytes = 6 };

QString bagTypeName(BagType type);              // "Bool", "I2", "I4", "R4", "Str", "Bytes"
std::optional<BagType> bagTypeFromName(const QString &name);

// One typed value. Reading converts between the number types the way the
// stored files expect: an absent (Empty) value reads as false, 0 or "".
class BagValue
{
public:
    BagValue() = default;
    static BagValue fromBool(bool v) { return BagValue(Storage(v)); }
    static BagValue fromI2(int16_t v) { return BagValue(Storage(v)); }
    static BagValue fromI4(int32_t v) { return BagValue(Storage(v)); }
    static BagValue fromR4(float v) { return BagValue(Storage(v)); }
    static BagValue fromStr(const QString &v) { return BagValue(Storage(v)); }
    static BagValue fromBytes(const QByteArray &v) { return BagValue(Storage(v)); }

    // Parses `text` as a value of `type` ("true"/"false"/"-1"/"0" for Bool, hex for Bytes).
    static std::optional<BagValue> parse(BagType type, const QString &text);

    BagType type() const { return static_cast<BagType>(m_value.index()); }
    bool isEmpty() const { return type() == BagType::Empty; }

    bool toBool() const;
    int32_t toInt() const;     // R4 rounds half to even; text is parsed as a number
    float toFloat() const;
    QString toString() const;  // numbers as decimal text; Bool as "True"/"False"
    QByteArray toBytes() const;

    // The value as one line of text: strings escaped (\\, \r, \n, \t), bytes in hex,
    // R4 in the shortest form that reads back to the same float.
    QString displayText() const;

    bool operator==(const BagValue &other) const = default;

private:
    using Storage = std::variant<std::monostate, bool, int16_t, int32_t, float, QString, QByteArray>;
    explicit BagValue(Storage v) : m_value(std::move(v)) {}
    Storage m_value;
};

// A store of named, typed values that becomes one block of bytes (the blob)
// and back. Entries keep the order in which their keys were first written;
// writing an existing key replaces its value in place. Keys compare exactly.
class PropertyBag
{
public:
    struct Entry
    {
        QString key;
        BagValue value;
    };

    void put(const QString &key, const BagValue &value);
    void putBool(const QString &key, bool v) { put(key, BagValue::fromBool(v)); }
    void putI2(const QString &key, int16_t v) { put(key, BagValue::fromI2(v)); }
    void putI4(const QString &key, int32_t v) { put(key, BagValue::fromI4(v)); }
    void putR4(const QString &key, float v) { put(key, BagValue::fromR4(v)); }
    void putStr(const QString &key, const QString &v) { put(key, BagValue::fromStr(v)); }
    void putBytes(const QString &key, const QByteArray &v) { put(key, BagValue::fromBytes(v)); }
    bool remove(const QString &key);

    bool contains(const QString &key) const { return find(key) != nullptr; }
    // An absent key yields an Empty value.
    BagValue value(const QString &key) const;
    bool getBool(const QString &key, bool def = false) const;
    int32_t getInt(const QString &key, int32_t def = 0) const;
    float getFloat(const QString &key, float def = 0.0f) const;
    QString getString(const QString &key, const QString &def = {}) const;
    QByteArray getBytes(const QString &key) const;

    const std::vector<Entry> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.empty(); }
    void clear();

    // Array encodings of package indexes: bounds under Name + "_(Type)" as two
    // big-endian 32-bit numbers, strings under Name(i), longs as one byte array.
    // Absent or inconsistent arrays read as empty; `ok` says which happened.
    QStringList readStringArray(const QString &name, int32_t *lowerBound = nullptr, bool *ok = nullptr) const;
    std::vector<int32_t> readLongArray(const QString &name, int32_t *lowerBound = nullptr, bool *ok = nullptr) const;
    void writeStringArray(const QString &name, const QStringList &items, int32_t lowerBound = 1);
    void writeLongArray(const QString &name, const std::vector<int32_t> &items, int32_t lowerBound = 1);

    QByteArray toBlob() const;
    // One line per entry, "KEY: TYPE VALUE", in the bag's order: the listing
    // `pvsm-cli project show` prints, and what tests compare a project by.
    QStringList listing() const;
    // Parses a blob that starts at data[0]. Bytes after the blob's own length are
    // ignored. Anything malformed yields nullopt; nothing is allocated beyond
    // what `data` itself holds.
    static std::optional<PropertyBag> fromBlob(QByteArrayView data);

private:
    const Entry *find(const QString &key) const;
    std::vector<Entry> m_entries;
};

// Fixed facts of the blob every loader relies on.
inline constexpr uint8_t kBagMagic0 = 0x93;
inline constexpr uint8_t kBagMagic1 = 0xB2;
inline constexpr int kBagHeaderSize = 16;
inline constexpr uint8_t kBagFormatVersion = 1;
// A bag file is refused before reading when it is larger than this.
inline constexpr qint64 kMaxBagFileSize = 256ll * 1024 * 1024;

// Loads the bag in `path` (a blob at offset 0, or after a 12-byte prefix).
// Returns false and leaves `out` unchanged for anything that is not a bag;
// a path that is no regular file is refused without being opened
// (readProblem tells the caller why).
bool LoadBagFile(const QString &path, PropertyBag &out);

// Writes the blob of `bag` to `path` through a temporary file renamed into
// place (AtomicFileWriter: every write and the final sync checked), so that a
// failed write, a full disk included, leaves the old file intact. When
// `projectDir` is not empty that folder is created first. Returns whether the
// file was written; on failure `problem`, when given, holds the cause the file
// system told (None when it told none).
bool SaveBagFile(const QString &path, const PropertyBag &bag, const QString &projectDir = {},
                 FileProblem *problem = nullptr);

// Big-endian conversions used by the package trailer and index bounds.
int32_t BytesToLongBE(QByteArrayView bytes); // needs 4 bytes; fewer read as 0
QByteArray LongToBytesBE(int32_t value);

// The 16-byte trailer of a built slideshow.
inline constexpr uint8_t kTrailerMagic[4] = {0xB1, 0xBB, 0x57, 0x4D};
inline constexpr int kTrailerSize = 16;
struct PackageTrailer
{
    uint32_t playerLength = 0;
    uint32_t resourcesLength = 0;
    uint32_t blobLength = 0;
};
QByteArray encodeTrailer(const PackageTrailer &trailer);
std::optional<PackageTrailer> decodeTrailer(QByteArrayView last16Bytes);
// Writes the trailer at offset playerLength + resourcesLength + blobLength.
bool WritePackageTrailer(const QString &path, uint32_t playerLength, uint32_t resourcesLength,
                         uint32_t blobLength);

} // namespace pvsm
