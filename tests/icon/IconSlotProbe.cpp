// Prints the length of the icon in this program's own slot and its bytes in
// hexadecimal, so a test can see what a replaced slot gives the player.
#include "IconSlot.h"

#include <cstdio>

int main()
{
    const std::vector<unsigned char> icon = pvsm::OwnIconSlotIcon();
    std::printf("%zu\n", icon.size());
    for (unsigned char c : icon) std::printf("%02x", c);
    std::printf("\n");
    return 0;
}
