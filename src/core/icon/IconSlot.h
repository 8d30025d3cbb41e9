#pragma once

// The player's icon slot: a section of its own (".pvsm_icon") of fixed size
// in the player program, which ReplaceIcon overwrites in the builder's copy
// and the player shows as its window icon (docs/formats.md). Plain C++: the
// player links this without the editor's libraries.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pvsm {

inline constexpr char kIconSlotSection[] = ".pvsm_icon";
inline constexpr char kIconSlotMagic[8] = {'P', 'V', 'S', 'M', 'I', 'C', 'O', 'N'};
inline constexpr std::uint32_t kIconSlotVersion = 1;
inline constexpr std::size_t kIconSlotHeader = 32;
// A single-image icon file of the largest image the chooser offers (22 + 9640),
// rounded up to 16 bytes.
inline constexpr std::uint32_t kIconSlotCapacity = 9664;
inline constexpr std::size_t kIconSlotSize = kIconSlotHeader + kIconSlotCapacity;

// Offsets in the slot's header (little-endian numbers).
inline constexpr std::size_t kIconSlotVersionAt = 8;
inline constexpr std::size_t kIconSlotCapacityAt = 12;
inline constexpr std::size_t kIconSlotLengthAt = 16;

// The icon file held in this program's own slot; empty when the slot holds
// none (the player then keeps its built-in icon) or its header is damaged.
std::vector<unsigned char> OwnIconSlotIcon();

// The same from the bytes of a slot (kIconSlotSize of them, or fewer: damaged).
inline std::vector<unsigned char> IconFromSlot(const unsigned char *slot, std::size_t size)
{
    const auto u32At = [slot](std::size_t at) {
        return std::uint32_t(slot[at]) | std::uint32_t(slot[at + 1]) << 8 | std::uint32_t(slot[at + 2]) << 16 |
               std::uint32_t(slot[at + 3]) << 24;
    };
    if (slot == nullptr || size < kIconSlotHeader || std::memcmp(slot, kIconSlotMagic, sizeof kIconSlotMagic) != 0)
        return {};
    const std::uint32_t capacity = u32At(kIconSlotCapacityAt), length = u32At(kIconSlotLengthAt);
    if (u32At(kIconSlotVersionAt) != kIconSlotVersion || capacity > size - kIconSlotHeader || length > capacity)
        return {};
    return {slot + kIconSlotHeader, slot + kIconSlotHeader + length};
}

} // namespace pvsm
