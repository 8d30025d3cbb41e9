// Writes the silent opening segments that ship beside the program:
// Sec5.wav (5 s), sec1.wav (1 s) and sec2.wav (2 s), PCM 22050 Hz, 16 bit,
// stereo. The soundtrack puts them in front of the songs while the opening
// title is shown.
//
// usage: make_segments OUTPUT_FOLDER

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void put32(std::vector<unsigned char> &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put16(std::vector<unsigned char> &b, uint16_t v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

bool writeSilence(const std::string &path, int seconds)
{
    constexpr uint32_t rate = 22050;
    constexpr uint16_t channels = 2, bits = 16, align = channels * bits / 8;
    const uint32_t data = rate * align * uint32_t(seconds);
    std::vector<unsigned char> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(b, 36 + data);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, 1);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * align);
    put16(b, align);
    put16(b, bits);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, data);
    b.resize(b.size() + data, 0);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_segments OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const struct { const char *name; int seconds; } segments[] = {{"Sec5.wav", 5}, {"sec1.wav", 1}, {"sec2.wav", 2}};
    for (const auto &s : segments)
        if (!writeSilence(dir + s.name, s.seconds)) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), s.name);
            return 1;
        }
    return 0;
}
