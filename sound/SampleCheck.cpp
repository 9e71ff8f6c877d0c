#include "sound/SampleCheck.h"

#include <SDL_audio.h>
#include <SDL_mixer.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace Mivo {

namespace {

// SDL plans a format conversion in a fixed table of 10 steps and writes on
// past it when a plan needs more (the plan for 0 channels never ends).
constexpr int ConversionSlots = 10;

struct Device {
    int rate;
    Uint16 format;
    int channels;
};

// The sample's bytes, at offsets from where it starts.
class Header {
public:
    Header(SDL_RWops* stream, int start, int size) : stream(stream), start(start), size(size) {}

    std::int64_t Size() const { return size; }

    bool Read(std::int64_t offset, void* out, int length) const
    {
        if (offset < 0 || offset + length > size)
            return false;
        return SDL_RWseek(stream, static_cast<int>(start + offset), RW_SEEK_SET) >= 0 &&
               SDL_RWread(stream, out, length, 1) == 1;
    }

private:
    SDL_RWops* stream;
    int start;
    int size;
};

std::uint32_t Le16(const Uint8* p)
{
    return p[0] | p[1] << 8;
}

std::uint32_t Le32(const Uint8* p)
{
    return Le16(p) | Le16(p + 2) << 16;
}

std::uint32_t Be16(const Uint8* p)
{
    return p[0] << 8 | p[1];
}

std::uint32_t Be32(const Uint8* p)
{
    return Be16(p) << 16 | Be16(p + 2);
}

bool Is(const Uint8* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

// Whether the libraries can convert a decoded sound of this kind to the
// device's format: the steps as SDL plans them must fit its table, and the
// sound they enlarge (decodedBytes, 0 when unknown) its int length.
bool Converts(const Device& device, Uint16 format, std::uint32_t channelField, std::uint32_t rate,
              std::uint64_t decodedBytes)
{
    int channels = static_cast<int>(channelField & 0xFF);  // SDL keeps them in a byte
    if (channels == 0 || rate == 0 || rate > INT_MAX)
        return false;
    int steps = 0;
    std::uint64_t growth = 1;
    if ((format & 0x1000) != (device.format & 0x1000) && (format & 0xFF) != 8)
        ++steps;
    if ((format & 0x8000) != (device.format & 0x8000))
        ++steps;
    if ((format & 0xFF) != (device.format & 0xFF)) {
        ++steps;
        growth *= (device.format & 0xFF) > (format & 0xFF) ? 2 : 1;
    }
    const int target = device.channels;
    if (channels != target) {
        if (channels == 1 && target > 1) {
            ++steps, growth *= 2, channels = 2;
        }
        if (channels == 2 && (target == 4 || target == 6)) {
            ++steps, growth *= target / 2, channels = target;
        }
        for (; channels * 2 <= target; channels *= 2)
            ++steps, growth *= 2;
        if (channels == 6 && target <= 4) {
            ++steps, channels = target <= 2 ? 2 : 4;
        }
        for (; channels % 2 == 0 && channels / 2 >= target; channels /= 2)
            ++steps;
    }
    if (static_cast<int>(rate) / 100 != device.rate / 100) {
        if (channels != 1 && channels != 2 && channels != 4 && channels != 6)
            return true;  // SDL has no rate converter for these and refuses
        const bool up = static_cast<int>(rate) < device.rate;
        std::uint32_t low = up ? rate : static_cast<std::uint32_t>(device.rate);
        const std::uint32_t high = up ? static_cast<std::uint32_t>(device.rate) : rate;
        for (; (low * 2) / 100 <= high / 100 && steps <= ConversionSlots; low *= 2)
            ++steps, growth *= up ? 2 : 1;
        if (low / 100 != high / 100)
            ++steps, growth *= up ? 2 : 1;
    }
    return steps <= ConversionSlots && decodedBytes * growth <= INT_MAX;
}

// RIFF WAVE as SDL reads it: chunk after chunk, unpadded, each read whole
// into memory, the format from the first "fmt " and the sound from the first
// "data" after it.
bool WavIsSafe(const Header& header, const Device& device)
{
    Uint8 head[12];
    if (!header.Read(0, head, sizeof head))
        return true;
    std::int64_t pos = Is(head + 4, "WAVE") ? 8 : 12;
    Uint8 fmt[40] = {};
    std::uint32_t fmtLength = 0;
    bool haveFormat = false;
    std::uint32_t dataLength = 0;
    for (;;) {
        Uint8 chunk[8];
        if (!header.Read(pos, chunk, sizeof chunk))
            return false;  // SDL reads a header that is not there
        const std::uint32_t length = Le32(chunk + 4);
        if (length > header.Size() - pos - 8)
            return false;  // and allocates what the file does not hold
        if (!haveFormat && Is(chunk, "fmt ")) {
            haveFormat = true;
            fmtLength = length;
            header.Read(pos + 8, fmt, static_cast<int>(length < sizeof fmt ? length : sizeof fmt));
        } else if (haveFormat && Is(chunk, "data")) {
            dataLength = length;
            break;
        }
        pos += 8 + std::int64_t{length};
    }
    // SDL reads the 16 bytes every format has, however short the chunk.
    if (fmtLength < 16)
        return false;
    const std::uint32_t tag = Le16(fmt);
    const std::uint32_t channels = Le16(fmt + 2);
    const std::uint32_t rate = Le32(fmt + 4);
    const std::uint32_t blockAlign = Le16(fmt + 12);
    const std::uint32_t bits = Le16(fmt + 14);
    switch (tag) {
    case 1:  // PCM
        if (bits != 8 && bits != 16)
            return true;
        return Converts(device, bits == 8 ? AUDIO_U8 : AUDIO_S16LSB, channels, rate, dataLength);
    case 2:     // MS ADPCM: its coefficients follow
    case 0x11:  // IMA ADPCM: samples per block follow
        if (blockAlign == 0)
            return false;  // the decoder divides by it
        // The decoders keep the state of two channels at most.
        if (channels > 2)
            return false;
        if (fmtLength < (tag == 2 ? 22 + 4 * std::uint64_t{Le16(fmt + 20)} : 20))
            return false;
        // Four bits a sample become sixteen.
        return Converts(device, AUDIO_S16LSB, channels, rate, std::uint64_t{dataLength} * 4);
    default:
        return true;  // SDL refuses the encoding before it converts
    }
}

// Ogg: the Vorbis identification header among the stream's first pages, the
// ones that open its logical streams.
bool OggIsSafe(const Header& header, const Device& device)
{
    for (std::int64_t pos = 0;;) {
        Uint8 page[27 + 255];
        if (!header.Read(pos, page, 27) || !Is(page, "OggS") || (page[5] & 2) == 0)
            return true;
        const int segments = page[26];
        if (!header.Read(pos + 27, page + 27, segments))
            return true;
        const std::int64_t body = pos + 27 + segments;
        Uint8 id[16];
        if (header.Read(body, id, sizeof id) && std::memcmp(id, "\x01vorbis", 7) == 0)
            return Converts(device, AUDIO_S16SYS, id[11], Le32(id + 12), 0);
        pos = body;
        for (int i = 0; i < segments; ++i)
            pos += page[27 + i];
    }
}

// FLAC: the stream information block, always first. Without it the loader
// hands on a sound of no channels at 0 Hz.
bool FlacIsSafe(const Header& header, const Device& device)
{
    Uint8 info[4 + 4 + 18];
    if (!header.Read(0, info, sizeof info) || (info[4] & 0x7F) != 0 || Be32(info + 4) % 0x1000000 < 34)
        return false;
    const Uint8* const field = info + 8 + 10;
    const std::uint32_t rate = field[0] << 12 | field[1] << 4 | field[2] >> 4;
    const std::uint32_t channels = ((field[2] >> 1) & 7) + 1;
    return Converts(device, AUDIO_S16SYS, channels, rate, 0);
}

// The 80-bit float rate of AIFF in whole hertz as the loader reads it; 0 for
// what it refuses.
std::uint32_t AiffRate(const Uint8* p)
{
    if (p[0] != 0x40 || p[1] > 0x1C)
        return 0;
    return (std::uint32_t{p[2]} << 23 | p[3] << 15 | p[4] << 7 | p[5] >> 1) >> (29 - p[1]);
}

// IFF, AIFF or 8SVX: chunks padded to even lengths, walked by the loader
// until it has both the format (COMM, VHDR) and the sound (SSND, BODY). A
// walk that runs past the end before then never ends on the program's
// streams. The AIFF loader allocates the sound COMM promises before it reads
// it, and keeps the block when the file falls short.
bool IffIsSafe(const Header& header, const Device& device)
{
    Uint8 head[12];
    if (!header.Read(0, head, sizeof head))
        return true;
    const bool aiff = Is(head + 8, "AIFF");
    if (!aiff && !Is(head + 8, "8SVX"))
        return true;
    Uint8 format[20];
    bool haveFormat = false;
    std::int64_t sound = -1;
    for (std::int64_t pos = 12; !haveFormat || sound < 0;) {
        Uint8 chunk[12];
        if (!header.Read(pos, chunk, 8))
            return false;
        const std::uint32_t length = Be32(chunk + 4);
        // The format is read as whole, whatever its chunk says.
        if (!haveFormat && Is(chunk, aiff ? "COMM" : "VHDR"))
            haveFormat = header.Read(pos + 8, format, aiff ? 18 : 20);
        if (sound < 0 && Is(chunk, aiff ? "SSND" : "BODY")) {
            // SSND starts with the offset of its sound.
            if (aiff && !header.Read(pos + 8, chunk + 8, 4))
                return false;
            sound = aiff ? pos + 16 + Be32(chunk + 8) : pos + 8;
        }
        pos += 8 + std::int64_t{length} + (length & 1);
    }
    if (!aiff)
        return Converts(device, AUDIO_S8, 1, Be16(format + 12), 0);
    const std::uint32_t bits = Be16(format + 6);
    const std::uint32_t rate = AiffRate(format + 8);
    if ((bits != 8 && bits != 16) || rate == 0)
        return true;
    const std::uint32_t bytes = Be16(format) * Be32(format + 2) * (bits / 8);  // in 32 bits, as the loader
    return sound + bytes <= header.Size() &&
           Converts(device, bits == 8 ? AUDIO_S8 : AUDIO_S16MSB, Be16(format), rate, 0);
}

// VOC: blocks after the file header, each inside the file, the sound each
// block that sets the format describes, none of the loader's divisions by
// zero (a mono extended block before any stereo one, silence scaled by a
// rate of 256, no sample size by the end), and nothing after the end mark.
bool VocIsSafe(const Header& header, const Device& device)
{
    Uint8 head[26];
    if (!header.Read(0, head, sizeof head) || std::memcmp(head, "Creative Voice File\x1a", 20) != 0)
        return true;
    std::int64_t rate = -1;  // as the loader keeps it: none yet
    bool sized = false;      // a block has set the sample size
    bool stereo = false;     // an extended block has set two channels
    for (std::int64_t pos = Le16(head + 20);;) {
        Uint8 block[4 + 12] = {};
        if (!header.Read(pos, block, 1))
            return rate == -1 || sized;
        // The loader reads one block past the end mark, into a buffer with
        // no room for it; and it divides by the sample size at the end.
        if (block[0] == 0)
            return (!header.Read(pos + 1, block, 1) || block[0] == 0) && (rate == -1 || sized);
        if (!header.Read(pos, block, 4))
            return true;
        const std::uint32_t length = block[1] | block[2] << 8 | block[3] << 16;
        if (length > header.Size() - pos - 4)
            return false;  // the loader would read and keep it all
        // A format block shorter than its fields leaves a negative length of
        // sound, allocated as a huge one.
        const std::uint32_t fields = block[0] == 1 ? 2 : block[0] == 3 ? 3 : block[0] == 8 ? 4 : block[0] == 9 ? 12 : 0;
        if (length < fields)
            return false;
        header.Read(pos + 4, block + 4, static_cast<int>(length < 12 ? length : 12));
        const Uint8* const p = block + 4;
        bool safe = true;
        if (block[0] == 1) {
            safe = Converts(device, AUDIO_U8, 1, 1000000 / (256 - p[0]), 0);
            rate = p[0];
            sized = true;
        } else if (block[0] == 3) {
            if (rate == 256 && p[2] != 0)  // a rate of 0 the loader refuses first
                return false;
            if (rate == -1)
                rate = p[2];
        } else if (block[0] == 8) {
            // The loader divides the rate by the channels it has set, none
            // until a stereo block.
            stereo = stereo || p[3] != 0;
            if (!stereo)
                return false;
            const std::uint32_t channels = p[3] + 1;
            safe = Converts(device, AUDIO_U8, channels, 256000000 / (65536 - Le16(p)) / channels, 0);
            rate = Le16(p);
        } else if (block[0] == 9 && (p[4] == 8 || p[4] == 16)) {
            safe = Converts(device, p[4] == 8 ? AUDIO_U8 : AUDIO_S16LSB, p[5], Le32(p), 0);
            rate = Le32(p);
            sized = true;
        }
        if (!safe)
            return false;
        pos += 4 + std::int64_t{length};
    }
}

}  // namespace

bool SampleHeaderIsSafe(SDL_RWops* stream)
{
    Device device{};
    if (stream == nullptr || Mix_QuerySpec(&device.rate, &device.format, &device.channels) == 0)
        return true;
    const int start = SDL_RWtell(stream);
    int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    // The program's streams count that origin from the last byte, not from
    // past it: there, a byte is still to be read.
    Uint8 last;
    if (end >= 0 && SDL_RWread(stream, &last, 1, 1) == 1)
        ++end;
    bool safe = true;
    if (start >= 0 && end >= start) {
        const Header header(stream, start, end - start);
        Uint8 magic[4];
        // The mixer tells the kinds apart by these four bytes.
        if (header.Read(0, magic, sizeof magic)) {
            if (Is(magic, "RIFF") || Is(magic, "WAVE"))
                safe = WavIsSafe(header, device);
            else if (Is(magic, "OggS"))
                safe = OggIsSafe(header, device);
            else if (Is(magic, "fLaC"))
                safe = FlacIsSafe(header, device);
            else if (Is(magic, "FORM"))
                safe = IffIsSafe(header, device);
            else if (Is(magic, "Crea"))
                safe = VocIsSafe(header, device);
        }
    }
    SDL_RWseek(stream, start, RW_SEEK_SET);
    return safe;
}

}  // namespace Mivo
