#include "IconSlot.h"

namespace pvsm {

namespace {

struct SlotBytes
{
    unsigned char bytes[kIconSlotSize];
};

constexpr SlotBytes emptySlot()
{
    SlotBytes s{};
    for (std::size_t i = 0; i < sizeof kIconSlotMagic; ++i) s.bytes[i] = static_cast<unsigned char>(kIconSlotMagic[i]);
    s.bytes[kIconSlotVersionAt] = kIconSlotVersion;
    for (int i = 0; i < 4; ++i) s.bytes[kIconSlotCapacityAt + std::size_t(i)] = (kIconSlotCapacity >> (8 * i)) & 0xFF;
    return s;
}

} // namespace

// The builder rewrites these bytes in the program file after linking, so the
// compiler must neither drop the section nor fold reads of it into constants:
// `used`/`retain` keep it, and the reader goes through a volatile pointer.
__attribute__((section(".pvsm_icon"), used, retain, aligned(16))) const SlotBytes pvsmIconSlot = emptySlot();

std::vector<unsigned char> OwnIconSlotIcon()
{
    const volatile unsigned char *live = pvsmIconSlot.bytes;
    std::vector<unsigned char> copy(kIconSlotSize);
    for (std::size_t i = 0; i < kIconSlotSize; ++i) copy[i] = live[i];
    return IconFromSlot(copy.data(), copy.size());
}

} // namespace pvsm
