#include "RegularFileReader.h"

#include "FolderHandle.h"

#if ! JUCE_WINDOWS
# include <cerrno>
# include <fcntl.h>
# include <sys/stat.h>
# include <unistd.h>
#endif

#if JUCE_WINDOWS
// Windows has no FIFOs below a plug-in folder, and opening a file does not block.
std::unique_ptr<juce::InputStream> RegularFileReader::open (const juce::File& folder, const juce::String& relativePath)
{
    const auto file = folder.getChildFile (relativePath);

    if (! file.existsAsFile() || file.isSymbolicLink())
        return nullptr;

    auto stream = std::make_unique<juce::FileInputStream> (file);
    return stream->openedOk() ? std::move (stream) : nullptr;
}

std::unique_ptr<juce::InputStream> RegularFileReader::open (const FolderHandle& folder,
                                                            const juce::String& relativePath)
{
    WCHAR path[32768];
    const auto length =
        GetFinalPathNameByHandleW (folder.native(), path, (DWORD) std::size (path), FILE_NAME_NORMALIZED);

    if (length == 0 || length >= std::size (path))
        return nullptr;

    return open (juce::File (juce::String (path, (size_t) length)), relativePath);
}

bool RegularFileReader::anythingAt (const juce::File& item)
{
    return item.exists() || item.isSymbolicLink();
}
#else
namespace
{
class Descriptor final
{
public:
    explicit Descriptor (int fd = -1) : value (fd) {}
    ~Descriptor()
    {
        if (value >= 0)
            ::close (value);
    }
    Descriptor (Descriptor&& other) noexcept : value (std::exchange (other.value, -1)) {}
    Descriptor& operator= (Descriptor&& other) noexcept
    {
        std::swap (value, other.value);
        return *this;
    }

    int get() const { return value; }

private:
    int value;
    JUCE_DECLARE_NON_COPYABLE (Descriptor)
};

// Reads at any position through a descriptor that is never re-resolved.
class DescriptorInputStream final : public juce::InputStream
{
public:
    DescriptorInputStream (Descriptor fd, juce::int64 size) : descriptor (std::move (fd)), length (size) {}

    juce::int64 getTotalLength() override { return length; }
    bool isExhausted() override { return position >= length; }
    juce::int64 getPosition() override { return position; }

    bool setPosition (juce::int64 newPosition) override
    {
        position = juce::jlimit ((juce::int64) 0, length, newPosition);
        return true;
    }

    int read (void* destination, int maxBytes) override
    {
        const auto got = ::pread (descriptor.get(), destination, (size_t) juce::jmax (0, maxBytes), (off_t) position);

        if (got <= 0)
            return 0;

        position += got;
        return (int) got;
    }

private:
    Descriptor descriptor;
    juce::int64 length, position = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DescriptorInputStream)
};

constexpr int noFollow = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Walks down from folder one name at a time, refusing a link at every step, and
// returns the last step opened for reading when it is a regular file.
Descriptor openRegular (const FolderHandle& folder, const juce::String& relativePath, struct stat& info)
{
    Descriptor current (::openat (folder.native(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));

    if (current.get() < 0)
        return Descriptor();

    auto names = juce::StringArray::fromTokens (relativePath, "/", {});
    names.removeEmptyStrings();

    for (int index = 0; index < names.size(); ++index)
    {
        const auto last = index == names.size() - 1;
        const auto flags = noFollow | O_RDONLY | (last ? 0 : O_DIRECTORY);
        Descriptor next (::openat (current.get(), names[index].toRawUTF8(), flags));

        if (next.get() < 0)
            return Descriptor();

        current = std::move (next);
    }

    if (names.isEmpty() || ::fstat (current.get(), &info) != 0 || ! S_ISREG (info.st_mode))
        return Descriptor();

    return current;
}
}  // namespace

std::unique_ptr<juce::InputStream> RegularFileReader::open (const juce::File& folder, const juce::String& relativePath)
{
    const auto held = FolderHandle::open (folder, false);
    return held.isOpen() ? open (held, relativePath) : nullptr;
}

std::unique_ptr<juce::InputStream> RegularFileReader::open (const FolderHandle& folder,
                                                            const juce::String& relativePath)
{
    struct stat info
    {};
    auto descriptor = openRegular (folder, relativePath, info);

    if (descriptor.get() < 0)
        return nullptr;

    return std::make_unique<DescriptorInputStream> (std::move (descriptor), (juce::int64) info.st_size);
}

bool RegularFileReader::anythingAt (const juce::File& item)
{
    struct stat info
    {};
    return item != juce::File() && ::lstat (item.getFullPathName().toRawUTF8(), &info) == 0;
}
#endif

std::optional<juce::MemoryBlock> RegularFileReader::readAll (const juce::File& folder, const juce::String& name,
                                                             size_t maxBytes)
{
    const auto stream = open (folder, name);

    if (stream == nullptr || stream->getTotalLength() > (juce::int64) maxBytes)
        return std::nullopt;

    juce::MemoryBlock content;
    const auto size = (size_t) stream->getTotalLength();

    if (size > 0 && stream->readIntoMemoryBlock (content, (ssize_t) size) != size)
        return std::nullopt;

    return content;
}
