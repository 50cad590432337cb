#include "EntryInflater.h"

#include "ProgramImageInputStream.h"

#include <zlib.h>

#if PLUGIN_MANAGER_HAS_ISAL
# include <isa-l/crc.h>
# include <isa-l/igzip_lib.h>
#endif

#include <atomic>
#include <limits>

// One way of turning the entry's data into its content. Each call inflates as much as
// fits into the destination; the input is the whole entry's data from the start.
class EntryInflater::Engine
{
public:
    virtual ~Engine() = default;

    // As EntryInflater::read, with no zero-length reads and no repeated calls after the end.
    virtual int read (juce::uint8* destination, int maxBytes) = 0;

    // How much of the data has been read so far.
    virtual size_t consumed() const = 0;

    bool finished = false;
    juce::uint32 crc = 0;
};

namespace
{
std::atomic<bool> zlibForced { false };

juce::uint32 crcOf (juce::uint32 crc, const juce::uint8* bytes, size_t size)
{
    return EntryInflater::checksum (crc, bytes, size);
}

class Stored final : public EntryInflater::Engine
{
public:
    Stored (const juce::uint8* data, size_t size) : next (data), left (size) { finished = size == 0; }

    int read (juce::uint8* destination, int maxBytes) override
    {
        const auto chunk = juce::jmin (left, (size_t) maxBytes);
        memcpy (destination, next, chunk);
        crc = crcOf (crc, destination, chunk);
        next += chunk;
        left -= chunk;
        taken += chunk;
        finished = left == 0;
        return (int) chunk;
    }

    size_t consumed() const override { return taken; }

private:
    const juce::uint8* next;
    size_t left, taken = 0;
};

class ZlibInflate final : public EntryInflater::Engine
{
public:
    ZlibInflate (const juce::uint8* data, size_t size) : total (size)
    {
        // Raw deflate data, as a ZIP entry holds it, with no zlib wrapper.
        ready = inflateInit2 (&stream, -MAX_WBITS) == Z_OK;
        stream.next_in = const_cast<Bytef*> (data);
        stream.avail_in = (uInt) size;
    }

    ~ZlibInflate() override
    {
        if (ready)
            inflateEnd (&stream);
    }

    int read (juce::uint8* destination, int maxBytes) override
    {
        if (! ready)
            return -1;

        stream.next_out = destination;
        stream.avail_out = (uInt) maxBytes;

        // With all of the input at hand, zlib stops only at the end, at damage, or
        // when the destination is full.
        const auto result = inflate (&stream, Z_NO_FLUSH);
        const auto got = maxBytes - (int) stream.avail_out;
        finished = result == Z_STREAM_END;

        if ((result != Z_OK && ! finished) || (got == 0 && ! finished))
            return -1;

        crc = crcOf (crc, destination, (size_t) got);
        return got;
    }

    size_t consumed() const override { return total - stream.avail_in; }

private:
    z_stream stream {};
    const size_t total;
    bool ready = false;
};

#if PLUGIN_MANAGER_HAS_ISAL
class IsalInflate final : public EntryInflater::Engine
{
public:
    IsalInflate (const juce::uint8* data, size_t size) : total (size)
    {
        isal_inflate_init (&state);
        // Raw deflate data, with the CRC-32 of the output kept on the way.
        state.crc_flag = ISAL_GZIP_NO_HDR;
        state.next_in = const_cast<juce::uint8*> (data);
        state.avail_in = (uint32_t) size;
    }

    int read (juce::uint8* destination, int maxBytes) override
    {
        state.next_out = destination;
        state.avail_out = (uint32_t) maxBytes;

        // Stops only at the end, at damage, or when the destination is full.
        const auto result = isal_inflate (&state);
        const auto got = maxBytes - (int) state.avail_out;
        finished = state.block_state == ISAL_BLOCK_FINISH;
        crc = state.crc;

        return result != ISAL_DECOMP_OK || (got == 0 && ! finished) ? -1 : got;
    }

    size_t consumed() const override { return total - state.avail_in; }

private:
    inflate_state state;
    const size_t total;
};
#endif

std::unique_ptr<EntryInflater::Engine> engineFor (const juce::uint8* data, size_t size, int method)
{
    // The libraries count their input in 32 bits, as the ZIP format without its 64-bit
    // extension does. (max in parentheses: Windows' headers may define it as a macro.)
    if (size > (std::numeric_limits<juce::uint32>::max)())
        return {};

    if (method == 0)
        return std::make_unique<Stored> (data, size);

    if (method != 8)
        return {};

#if PLUGIN_MANAGER_HAS_ISAL
    if (! zlibForced)
        return std::make_unique<IsalInflate> (data, size);
#endif

    return std::make_unique<ZlibInflate> (data, size);
}

// Handing back costs a system call, so it waits until this much has been read past.
constexpr size_t handBackStep = 1 << 20;
}  // namespace

EntryInflater::EntryInflater (const void* entryData, size_t size, int method, bool programImage)
    : engine (engineFor (static_cast<const juce::uint8*> (entryData), size, method)),
      data (static_cast<const juce::uint8*> (entryData)), inProgramImage (programImage)
{
}

EntryInflater::~EntryInflater()
{
    handBackReadPages (true);
}

int EntryInflater::read (void* destination, int maxBytes)
{
    if (engine == nullptr || maxBytes <= 0)
        return engine == nullptr ? -1 : 0;

    if (engine->finished)
        return 0;

    const auto got = engine->read (static_cast<juce::uint8*> (destination), maxBytes);
    handBackReadPages (false);
    return got;
}

bool EntryInflater::isFinished() const
{
    return engine != nullptr && engine->finished;
}

juce::uint32 EntryInflater::crc() const
{
    return engine != nullptr ? engine->crc : 0;
}

EntryInflater::Library EntryInflater::library()
{
#if PLUGIN_MANAGER_HAS_ISAL
    return zlibForced ? Library::zlib : Library::isal;
#else
    return Library::zlib;
#endif
}

juce::uint32 EntryInflater::checksum (juce::uint32 crc, const void* bytes, size_t size)
{
#if PLUGIN_MANAGER_HAS_ISAL
    // Several times zlib's speed where the processor multiplies without carry.
    if (! zlibForced)
        return (juce::uint32) crc32_gzip_refl (crc, static_cast<const unsigned char*> (bytes), (uint64_t) size);
#endif
    return (juce::uint32) crc32_z (crc, static_cast<const Bytef*> (bytes), size);
}

EntryInflater::ZlibForced::ZlibForced (bool force) : before (zlibForced.exchange (force))
{
}

EntryInflater::ZlibForced::~ZlibForced()
{
    zlibForced = before;
}

void EntryInflater::handBackReadPages (bool all)
{
    if (! inProgramImage || engine == nullptr)
        return;

    const auto readUpTo = engine->consumed();

    if (readUpTo - handedBackUpTo >= handBackStep || (all && readUpTo > handedBackUpTo))
    {
        ProgramImageInputStream::release (data + handedBackUpTo, readUpTo - handedBackUpTo);
        handedBackUpTo = readUpTo;
    }
}
